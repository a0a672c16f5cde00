#pragma once

// What a detector's flash must hold after an update with an embedded image:
// the page area of the catalogue entry read into the model's buffer.

#include <string>

#include "firmware/firmware_images.h"
#include "firmware/program_firmware.h"
#include "flash_processes.h"

namespace vek::flash::test {

inline FirmwareCatalogue& builtCatalogue() {
    static FirmwareCatalogue& catalogue = [] () -> FirmwareCatalogue& {
        programCatalogue().buildCatalogue();
        return programCatalogue();
    }();
    return catalogue;
}

inline Bytes expectedFlash(int model, int index) {
    FirmwareImages images(builtCatalogue());
    const HexBuffer* buffer = images.firmwareImage(model, index);
    if (buffer == nullptr) return Bytes();
    const int pages = model == 310 ? 496 : 1008;
    return Bytes(buffer->data(), buffer->data() + pages * 256);
}

// The embedded Intel HEX text of an entry, byte for byte.
inline std::string embeddedText(int model, int index) {
    const char* text = builtCatalogue().firmwareText(model, index);
    return std::string(text, static_cast<std::size_t>(builtCatalogue().resourceSize(text)));
}

}  // namespace vek::flash::test
