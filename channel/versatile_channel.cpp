#include "channel/versatile_channel.h"

#include <strings.h>

namespace vek {

VersatileChannel::VersatileChannel() {
    tcpSettings_.address = ipv4Address(127, 0, 0, 1);
    tcpSettings_.port = 9900;
}

VersatileChannel::~VersatileChannel() = default;

int VersatileChannel::close() {
    const int result = current_ != nullptr ? current_->close() : 0;
    if (view_ != nullptr) view_->stateChanged();
    return result;
}

bool VersatileChannel::isOpen() const {
    return current_ != nullptr && current_->isOpen();
}

int VersatileChannel::open(const char* address, const void* settings) {
    const int result = openChosen(address, settings);
    lastResult_ = result;
    if (view_ != nullptr) {
        view_->addressChanged(address);
        view_->stateChanged();
    }
    return result;
}

int VersatileChannel::openChosen(const char* address, const void* settings) {
    if (serial_ != nullptr && serial_->isOpen()) return kSerialAlreadyOpen;
    if (tcp_ != nullptr && tcp_->isOpen()) return kTcpAlreadyOpen;

    if (serial_ != nullptr && isSerialPortName(address)) {
        current_ = serial_;
        if (settings != nullptr) serialSettings_ = *static_cast<const SerialSettings*>(settings);
        return serial_->open(address, &serialSettings_);
    }
    if (tcp_ == nullptr) return kNoChannelForAddress;

    std::uint32_t ip = 0;
    std::uint16_t port = 0;
    if (parseTcpAddress(address, ip, port)) {
        current_ = tcp_;
        if (settings != nullptr) tcpSettings_ = *static_cast<const TcpSettings*>(settings);
        return tcp_->connectTo(ip, port);
    }
    if (address != nullptr && ::strcasecmp(address, "TCPIP") == 0) {
        current_ = tcp_;
        if (settings != nullptr) tcpSettings_ = *static_cast<const TcpSettings*>(settings);
        return tcp_->open("TCPIP", &tcpSettings_);
    }
    return kNoChannelForAddress;
}

int VersatileChannel::read(char* buffer, int capacity) {
    return current_ != nullptr ? current_->read(buffer, capacity) : 0;
}

int VersatileChannel::write(const char* data, int length) {
    return current_ != nullptr ? current_->write(data, length) : 0;
}

int VersatileChannel::waitForInput(int milliseconds) {
    return current_ != nullptr ? current_->waitForInput(milliseconds) : kCannotWait;
}

void VersatileChannel::attachSerialPort(Channel* port) {
    if (serial_ == nullptr) serial_ = port;
}

void VersatileChannel::attachSocket(Socket* socket) {
    if (tcp_ == nullptr) tcp_ = socket;
}

void VersatileChannel::createDefaultChannels() {
    if (!ownSerialPort_) ownSerialPort_ = std::make_unique<SerialPort>();
    serial_ = ownSerialPort_.get();
    if (!ownSocket_) ownSocket_ = std::make_unique<Socket>();
    tcp_ = ownSocket_.get();
}

int VersatileChannel::setSerialSettings(const char* text) {
    int baudRate = 0, dataBits = 0, stopBits = 0;
    char parityLetter = 0;
    if (scanSerialSettingsText(text, baudRate, parityLetter, dataBits, stopBits) < 4) return -1;
    const bool rateSupported = baudRate == 19200 || baudRate == 38400;
    const int parity = parityFromLetter(parityLetter);
    if (parity < 0) return -3;
    if (!rateSupported) return -2;
    serialSettings_.baudRate = baudRate;
    serialSettings_.parity = parity;
    serialSettings_.dataBits = static_cast<std::uint8_t>(dataBits);
    serialSettings_.stopBits = static_cast<std::uint8_t>(stopBits);
    return 0;
}

int VersatileChannel::setTcpAddress(const char* text) {
    TcpSettings parsed;
    if (!parseTcpAddress(text, parsed.address, parsed.port)) return -1;
    tcpSettings_ = parsed;
    return 0;
}

std::string VersatileChannel::lastErrorText() const {
    switch (lastResult_) {
    case kSerialAlreadyOpen: return "the serial port is already open; disconnect first";
    case kTcpAlreadyOpen: return "the TCP connection is already open; disconnect first";
    case kNoChannelForAddress: return "the address is neither a serial port nor a TCP address";
    default: break;
    }
    if (const auto* port = dynamic_cast<const SerialPort*>(current_)) return port->lastErrorText();
    if (const auto* socket = dynamic_cast<const Socket*>(current_)) return socket->lastErrorText();
    return std::string();
}

}  // namespace vek
