#include "firmware/firmware_images.h"

#include <string>

namespace {

const char* const kResourceNotFound = "Internal error: Resource not found!";

}  // namespace

FirmwareImages::FirmwareImages(const FirmwareCatalogue& catalogue)
    : catalogue_(catalogue), t310Image_(t310ImageSize, imageFill), t320Image_(t320ImageSize, imageFill) {}

HexBuffer* FirmwareImages::firmwareImage(int model, int index) {
    HexBuffer* image = nullptr;
    switch (model) {
    case 310:
        image = &t310Image_;
        break;
    case 320:
        image = &t320Image_;
        break;
    default:
        return nullptr;
    }
    const char* text = catalogue_.firmwareText(model, index);
    if (text == nullptr) {
        return nullptr;
    }
    try {
        image->readFromMemory(text, static_cast<std::size_t>(catalogue_.resourceSize(text)));
    } catch (...) {
        // Whatever went wrong, the caller only learns that there is no image.
        return nullptr;
    }
    return image;
}

std::optional<std::vector<std::uint8_t>> FirmwareImages::firmwareBytes(int model, int index) {
    const HexBuffer* image = firmwareImage(model, index);
    if (image == nullptr) {
        if (hooks_.logLine) {
            hooks_.logLine((std::string(kResourceNotFound) + "\n").c_str());
        }
        if (hooks_.alert) {
            hooks_.alert(kResourceNotFound);
        }
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(image->data(), image->data() + image->size());
}
