#pragma once

#include <cstdint>

// Line settings of a serial port, copied as a whole into the port at open.
// The defaults are the detectors' line: 38400 baud, no parity, 8 data bits,
// one stop bit, no flow control.
struct SerialSettings {
    std::int32_t baudRate = 38400;  // bits per second
    std::int32_t parity = 0;        // 0 none, 1 odd, 2 even; 3 mark and 4 space configure none
    std::uint8_t dataBits = 8;
    std::uint8_t stopBits = 1;      // 2 means two stop bits, anything else one
    std::uint8_t rtsCts = 0;        // bit 0: hardware flow control
    std::uint8_t xonXoff = 0;       // bit 0: software flow control
};

namespace vek {

// Parity values of SerialSettings.
enum SerialParity : std::int32_t { kParityNone = 0, kParityOdd = 1, kParityEven = 2, kParityMark = 3, kParitySpace = 4 };

// Reads a settings text of the form "baud,parity letter,data bits,stop bits"
// (for example "38400,n,8,1") field by field, as scanf("%d,%c,%d,%d")
// would: numbers may carry leading white space and a sign, the letter is
// the very next character, anything after the fourth field is ignored.
// Returns the number of fields read before the first mismatch (0 to 4).
int scanSerialSettingsText(const char* text, int& baudRate, char& parityLetter, int& dataBits, int& stopBits);

// The parity of a letter of a settings text: n/N none, o/O odd, e/E even;
// -1 for any other character.
int parityFromLetter(char letter);

}  // namespace vek
