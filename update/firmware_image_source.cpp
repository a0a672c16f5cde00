#include "update/firmware_image_source.h"

#include "firmware/firmware_images.h"

namespace vek {

ImageSource catalogueImageSource(FirmwareImages& images) {
    return [&images](int model, int index) -> ImageBytes {
        const HexBuffer* buffer = images.firmwareImage(model, index);
        if (buffer == nullptr) return nullptr;
        return std::make_shared<const std::vector<std::uint8_t>>(buffer->data(),
                                                                 buffer->data() + buffer->size());
    };
}

}  // namespace vek
