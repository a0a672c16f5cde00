// The present serial ports as the Linux kernel lists them in sysfs.

#include <filesystem>
#include <fstream>
#include <system_error>

#include "channel/serial_port_list.h"

namespace fs = std::filesystem;

namespace {

// The first line of a small sysfs attribute file; empty if unreadable.
std::string attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

// "manufacturer product (vid:pid, serial S)" from the nearest USB device
// above the port's device; empty for ports that are not on USB.
std::string usbDescription(const fs::path& deviceLink) {
    std::error_code error;
    fs::path device = fs::canonical(deviceLink, error);
    if (error) return std::string();
    for (; !device.empty(); device = device.parent_path()) {
        if (fs::exists(device / "idVendor", error)) break;
        if (device == device.root_path()) return std::string();
    }
    if (device.empty()) return std::string();

    std::string text = attribute(device / "manufacturer");
    const std::string product = attribute(device / "product");
    if (!product.empty()) text += (text.empty() ? "" : " ") + product;
    const std::string ids = attribute(device / "idVendor") + ":" + attribute(device / "idProduct");
    const std::string serial = attribute(device / "serial");
    text += (text.empty() ? "(" : " (") + ids + (serial.empty() ? "" : ", serial " + serial) + ")";
    return text;
}

}  // namespace

// A tty is a serial port when it has a device behind it (virtual consoles
// and pseudo-terminals have none), is not an 8250 placeholder without a
// UART (its type reads 0), and has a node in the device folder.
std::vector<SerialPortEntry> SerialPortList::enumerate() const {
    std::vector<SerialPortEntry> ports;
    std::error_code error;
    for (fs::directory_iterator it(ttyClassRoot_, error), end; !error && it != end; it.increment(error)) {
        const fs::directory_entry& tty = *it;
        const fs::path deviceLink = tty.path() / "device";
        if (!fs::exists(deviceLink, error)) continue;
        if (attribute(tty.path() / "type") == "0") continue;
        const fs::path node = fs::path(deviceRoot_) / tty.path().filename();
        if (!fs::exists(node, error)) continue;
        ports.push_back({node.string(), usbDescription(deviceLink)});
    }
    return ports;
}
