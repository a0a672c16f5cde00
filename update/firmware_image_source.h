#pragma once

// The image source through which a session gets the firmware chosen in the
// program's catalogue: the entry's Intel HEX text read into the model's image
// buffer, handed out as a copy of the whole buffer.

#include "update/update_session.h"

class FirmwareImages;

namespace vek {

// images must outlive every session given the source. The source reports
// nothing: a missing or unreadable image comes back null and the session
// says so in its own log.
ImageSource catalogueImageSource(FirmwareImages& images);

}  // namespace vek
