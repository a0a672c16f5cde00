#pragma once

// What an update session draws on in this program besides its channel and
// handler: the firmware chosen in the program's catalogue, and the reason a
// serial port could not be opened.

#include <functional>
#include <string>

#include "update/update_session.h"

class FirmwareImages;

namespace vek {

class SerialPort;

// The entry's Intel HEX text read into the model's image buffer, handed out
// as a copy of the whole buffer. images must outlive every session given
// the source. The source reports nothing: a missing or unreadable image
// comes back null and the session says so in its own log.
ImageSource catalogueImageSource(FirmwareImages& images);

// Why an open of the versatile channel with the serial port attached
// failed, from its result code: the port's own reason, or that the name is
// no serial port name. port must outlive every session given the function.
std::function<std::string(int code)> serialOpenFailureReason(const SerialPort& port);

// The log line (without line end) that says which port could not be opened
// and why; reason may be empty, then the channel's code stands in for it.
std::string portOpenFailureLine(const std::string& portName, int code, const std::string& reason);

}  // namespace vek
