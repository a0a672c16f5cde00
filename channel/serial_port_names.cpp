// Port names and settings texts: the parts of the serial port that are the
// same on every platform.

#include <cctype>
#include <cstdio>
#include <cstring>

#include "channel/scan_fields.h"
#include "channel/serial_port.h"

namespace vek {

bool isSerialPortName(const char* name) {
    if (name == nullptr) return false;
    const char* p = name;
    if (scan::literalIgnoringCase(p, "COM") || scan::literalIgnoringCase(p, "\\\\.\\COM")) return true;
    return name[0] == '/';
}

const char* serialDevicePath(const char* name) {
    static char canonical[20];
    if (name == nullptr || std::strncmp(name, "\\\\.\\", 4) == 0) return name;
    const std::size_t length = std::strlen(name);
    if (length >= sizeof canonical) return name;
    for (std::size_t i = 0; i <= length; ++i)
        canonical[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
    const char* p = canonical;
    int number = 0;
    if (!scan::literal(p, "COM") || !scan::integer(p, number)) return name;
    if (number >= 1 && number <= 9) {
        std::snprintf(canonical, sizeof canonical, "COM%d", number);
    } else if (number >= 10 && number <= 256) {
        std::snprintf(canonical, sizeof canonical, "\\\\.\\COM%d", number);
    } else {
        return name;
    }
    return canonical;
}

int scanSerialSettingsText(const char* text, int& baudRate, char& parityLetter, int& dataBits, int& stopBits) {
    if (text == nullptr) return 0;
    const char* p = text;
    if (!scan::integer(p, baudRate)) return 0;
    if (!scan::literal(p, ",") || *p == '\0') return 1;
    parityLetter = *p++;
    if (!scan::literal(p, ",") || !scan::integer(p, dataBits)) return 2;
    if (!scan::literal(p, ",") || !scan::integer(p, stopBits)) return 3;
    return 4;
}

int parityFromLetter(char letter) {
    switch (letter) {
    case 'n': case 'N': return kParityNone;
    case 'o': case 'O': return kParityOdd;
    case 'e': case 'E': return kParityEven;
    default: return -1;
    }
}

int SerialPort::openWithSettings(const char* name, const char* settingsText) {
    int baudRate = 0, dataBits = 0, stopBits = 0;
    char parityLetter = 0;
    if (scanSerialSettingsText(settingsText, baudRate, parityLetter, dataBits, stopBits) < 4) {
        return fail(kBadSettingsText, "the line settings text is not of the form \"38400,n,8,1\"");
    }
    SerialSettings record;
    record.baudRate = baudRate;
    const int parity = parityFromLetter(parityLetter);
    record.parity = parity < 0 ? kParityNone : parity;
    record.dataBits = static_cast<std::uint8_t>(dataBits);
    record.stopBits = static_cast<std::uint8_t>(stopBits);
    record.rtsCts = 0;
    record.xonXoff = 0;
    return open(name, &record);
}

int SerialPort::describe(char* buffer, int size) const {
    static const char letters[] = "noems";
    const int parity = settings_.parity;
    const char letter = parity >= 0 && parity <= kParitySpace ? letters[parity] : '?';
    if (buffer == nullptr || size <= 0) {
        return std::snprintf(nullptr, 0, "%s:%i,%c,%i,%i", portName_.c_str(), settings_.baudRate, letter,
                             settings_.dataBits, settings_.stopBits);
    }
    return std::snprintf(buffer, static_cast<std::size_t>(size), "%s:%i,%c,%i,%i", portName_.c_str(),
                         settings_.baudRate, letter, settings_.dataBits, settings_.stopBits);
}

int SerialPort::fail(int code, std::string reason) {
    lastError_ = std::move(reason);
    return code;
}

}  // namespace vek
