#pragma once

// Turns the catalogue entry chosen for a model into the bytes to transmit:
// the entry's Intel HEX text is read into that model's image buffer, and the
// whole buffer is handed out.
//
// Each call reads the text again over whatever the buffer held; bytes the
// text does not define keep their earlier content. One object's buffers
// serve one update at a time.

#include <cstdint>
#include <optional>
#include <vector>

#include "firmware/firmware_catalogue.h"
#include "firmware/hex_buffer.h"
#include "firmware/report_hooks.h"

class FirmwareImages {
public:
    static constexpr std::int32_t t310ImageSize = 0x20000;
    static constexpr std::int32_t t320ImageSize = 0x40000;
    static constexpr std::uint8_t imageFill = 0x00;

    // The catalogue must outlive this object.
    explicit FirmwareImages(const FirmwareCatalogue& catalogue);
    FirmwareImages(const FirmwareImages&) = delete;
    FirmwareImages& operator=(const FirmwareImages&) = delete;

    // The model's buffer filled from entry `index`, or null for another model
    // code, an index outside the list, a missing resource or a text that does
    // not read. Reports nothing.
    HexBuffer* firmwareImage(int model, int index);
    // A copy of the whole buffer (exactly its size) filled from entry
    // `index` (-1: nothing chosen). On any failure reports
    // "Internal error: Resource not found!" in the log and an alert and
    // returns nothing.
    std::optional<std::vector<std::uint8_t>> firmwareBytes(int model, int index);

    void setReportHooks(FirmwareReportHooks hooks) { hooks_ = std::move(hooks); }

private:
    const FirmwareCatalogue& catalogue_;
    HexBuffer t310Image_;
    HexBuffer t320Image_;
    FirmwareReportHooks hooks_;
};
