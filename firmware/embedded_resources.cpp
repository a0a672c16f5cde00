#include "firmware/embedded_resources.h"

#include "firmware/embedded_resource_table.h"

namespace {

class EmbeddedResourceStore : public ResourceStore {
public:
    std::optional<std::string_view> string(int id) const override {
        for (std::size_t i = 0; i < embeddedStringCount; ++i) {
            if (embeddedStrings[i].id == id) {
                return std::string_view(embeddedStrings[i].text, embeddedStrings[i].length);
            }
        }
        return std::nullopt;
    }

    std::size_t blobCount() const override { return embeddedBlobCount; }

    ResourceBlob blob(std::size_t index) const override {
        const EmbeddedBlob& entry = embeddedBlobs[index];
        return ResourceBlob{entry.name, entry.type, entry.data, static_cast<std::size_t>(*entry.size)};
    }
};

}  // namespace

const ResourceStore& embeddedResources() {
    static const EmbeddedResourceStore store;
    return store;
}
