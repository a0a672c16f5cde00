#pragma once

// How the POSIX serial port expresses its line settings in termios. Kept
// apart from the port itself so that the mapping can be checked without a
// device (pseudo-terminals ignore data bits and parity).

#include <termios.h>

#include <string>

#include "channel/serial_settings.h"

namespace vek::posix {

// The termios speed constant for a rate in bits per second; B0 when the
// system has no constant for it.
speed_t speedConstant(int baudRate);

// Turns t into a raw line with the given settings and reads that return at
// once (VMIN 0, VTIME 0). Returns false and says why in reason when the
// system cannot express the settings (an unknown rate, data bits outside
// 5..8); t is then unchanged.
bool applyLineSettings(termios& t, const SerialSettings& settings, std::string& reason);

}  // namespace vek::posix
