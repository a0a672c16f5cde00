#pragma once

#include <string>
#include <vector>

// One serial port present on the system.
struct SerialPortEntry {
    std::string name;         // what to open, e.g. /dev/ttyUSB0
    std::string description;  // for people, e.g. "FTDI FT232R USB UART (0403:6001, serial A10K1X2B)"; may be empty
};

// The serial ports present on the system, in natural order (COM2 before
// COM10, /dev/ttyS2 before /dev/ttyS10). Filled at construction and again
// at every refresh.
class SerialPortList {
public:
    // Lists the ports of this system.
    SerialPortList();
    // Lists the ports described by a tty class folder and a device folder
    // (normally /sys/class/tty and /dev), so that a test can build both.
    SerialPortList(std::string ttyClassRoot, std::string deviceRoot);

    void refresh();

    const std::vector<std::string>& names() const { return names_; }
    const std::vector<SerialPortEntry>& entries() const { return entries_; }
    // The description of the port called name; empty when there is none.
    std::string description(const std::string& name) const;

    // Natural order of port names: split each name at its first decimal
    // digit; heads compare byte by byte (unsigned, case counts); with equal
    // heads the shorter name comes first; names of equal length compare
    // their tails byte by byte.
    static bool comesBefore(const std::string& a, const std::string& b);

private:
    // The platform's enumeration, in no particular order.
    std::vector<SerialPortEntry> enumerate() const;

    std::string ttyClassRoot_;
    std::string deviceRoot_;
    std::vector<SerialPortEntry> entries_;
    std::vector<std::string> names_;
};
