#include "update/session_sources.h"

#include "channel/serial_port.h"
#include "channel/versatile_channel.h"
#include "firmware/firmware_images.h"

namespace vek {

ImageSource catalogueImageSource(FirmwareImages& images) {
    return [&images](int model, int index) -> ImageBytes {
        const HexBuffer* buffer = images.firmwareImage(model, index);
        if (buffer == nullptr) return nullptr;
        return std::make_shared<const std::vector<std::uint8_t>>(buffer->data(),
                                                                 buffer->data() + buffer->size());
    };
}

std::function<std::string(int code)> serialOpenFailureReason(const SerialPort& port) {
    return [&port](int code) -> std::string {
        if (code == VersatileChannel::kNoChannelForAddress) return "not a serial port name";
        if (code == VersatileChannel::kSerialAlreadyOpen || code == VersatileChannel::kTcpAlreadyOpen) {
            return "already open";
        }
        return port.lastErrorText();
    };
}

std::string portOpenFailureLine(const std::string& portName, int code, const std::string& reason) {
    if (portName.empty()) return "Cannot open port: no port chosen";
    if (reason.empty()) return "Cannot open port " + portName + " (code " + std::to_string(code) + ")";
    return "Cannot open port " + portName + ": " + reason;
}

}  // namespace vek
