#include "cli/firmware_choice.h"

#include <cstdio>
#include <exception>

#include "firmware/firmware_catalogue.h"
#include "firmware/firmware_images.h"
#include "firmware/hex_buffer.h"

namespace vek::flash {

namespace {

ImageBytes copyOf(const HexBuffer& buffer) {
    return std::make_shared<const std::vector<std::uint8_t>>(buffer.data(), buffer.data() + buffer.size());
}

std::int32_t bufferSize(int model) {
    return model == 310 ? FirmwareImages::t310ImageSize : FirmwareImages::t320ImageSize;
}

ModelImage catalogueImage(const FirmwareCatalogue& catalogue, int model, int variant) {
    ModelImage image;
    image.model = model;
    const int count = catalogue.entryCount(model);
    image.index = variant >= 0 ? variant : (model == 310 ? 0 : count - 1);
    char text[160];
    if (count == 0) {
        std::snprintf(text, sizeof text, "no T%d firmware is embedded in this program", model);
        image.problem = text;
        return image;
    }
    if (image.index >= count) {
        std::snprintf(text, sizeof text, "the T%d firmware list has no entry %d (entries 0 to %d, see --list-firmware)",
                      model, image.index, count - 1);
        image.problem = text;
        return image;
    }
    image.source = std::string(catalogue.resourceName(model, image.index)) + " (" +
                   catalogue.firmwareDescription(model, image.index) + ")";
    FirmwareImages images(catalogue);
    const HexBuffer* buffer = images.firmwareImage(model, image.index);
    if (buffer == nullptr) {
        image.problem = "the embedded resource " + std::string(catalogue.resourceName(model, image.index)) +
                        (catalogue.firmwareText(model, image.index) == nullptr ? " is missing from this program"
                                                                               : " is no valid Intel HEX text");
        return image;
    }
    image.bytes = copyOf(*buffer);
    return image;
}

ModelImage fileImage(const std::string& path, int model) {
    ModelImage image;
    image.model = model;
    image.source = path;
    // Read twice, into a buffer of the program's fill byte and into one of
    // its complement: the bytes that differ are those the file leaves
    // undefined.
    HexBuffer buffer(bufferSize(model), FirmwareImages::imageFill);
    HexBuffer complement(bufferSize(model), static_cast<std::uint8_t>(~FirmwareImages::imageFill));
    try {
        buffer.readFromFile(path);
        complement.readFromFile(path);
    } catch (const std::exception& error) {
        image.problem = error.what();
        return image;
    }
    const int area = pageAreaBytes(model);
    int undefined = 0;
    for (int i = 0; i < area; ++i) {
        if (buffer.data()[i] != complement.data()[i]) ++undefined;
    }
    if (undefined > 0) {
        char text[320];
        if (buffer.usedRangeEmpty()) {
            std::snprintf(text, sizeof text,
                          "%s defines no data at all; the whole page area of the T%d (%d bytes) would be "
                          "sent as 0x%02X",
                          path.c_str(), model, area, FirmwareImages::imageFill);
        } else {
            std::snprintf(text, sizeof text,
                          "%s does not define the whole page area of the T%d: %d of its %d bytes are not in "
                          "the file and are sent as 0x%02X (the file covers 0x%05X to 0x%05X)",
                          path.c_str(), model, undefined, area, FirmwareImages::imageFill,
                          static_cast<unsigned>(buffer.lowest()), static_cast<unsigned>(buffer.highest()));
        }
        image.warning = text;
    }
    image.bytes = copyOf(buffer);
    return image;
}

}  // namespace

int pageAreaBytes(int model) {
    const int pages = model == 310 ? UpdateSession::kT310PageCount : UpdateSession::kT320PageCount;
    return pages * UpdateSession::kSupportedPageSize;
}

FirmwareChoice FirmwareChoice::fromCatalogue(const FirmwareCatalogue& catalogue, int variant) {
    FirmwareChoice choice;
    choice.t310_ = catalogueImage(catalogue, 310, variant);
    choice.t320_ = catalogueImage(catalogue, 320, variant);
    return choice;
}

FirmwareChoice FirmwareChoice::fromHexFile(const std::string& path) {
    FirmwareChoice choice;
    choice.t310_ = fileImage(path, 310);
    choice.t320_ = fileImage(path, 320);
    return choice;
}

const ModelImage& FirmwareChoice::forModel(int model) const {
    if (model == 310) return t310_;
    if (model == 320) return t320_;
    return none_;
}

ImageSource preparedImageSource(const FirmwareChoice& choice,
                                std::function<void(const std::string& line)> note, std::string* problem) {
    return [&choice, note = std::move(note), problem](int model, int) -> ImageBytes {
        const ModelImage& image = choice.forModel(model);
        if (!image.warning.empty()) note("Warning: " + image.warning);
        if (!image.bytes) {
            *problem = image.problem;
            note("Error: " + image.problem);
        }
        return image.bytes;
    };
}

}  // namespace vek::flash
