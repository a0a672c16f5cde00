#include "firmware/msw_resource_handler.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

MSWResourceHandler::MSWResourceHandler(const ResourceStore& store) : store_(store) {}

MSWResourceHandler::~MSWResourceHandler() = default;

const void* MSWResourceHandler::loadResource(const char* name, const char* type) {
    if (name == nullptr || type == nullptr) {
        return nullptr;
    }
    for (std::size_t i = 0; i < store_.blobCount(); ++i) {
        const ResourceBlob blob = store_.blob(i);
        if (blob.data != nullptr && equalIgnoringCase(blob.name, name) && equalIgnoringCase(blob.type, type)) {
            const std::size_t limit = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
            sizes_[blob.data] = static_cast<std::int32_t>(std::min(blob.size, limit));
            return blob.data;
        }
    }
    return nullptr;
}

std::int32_t MSWResourceHandler::resourceSize(const void* address) const {
    const auto found = sizes_.find(address);
    return found == sizes_.end() ? 0 : found->second;
}

std::unique_ptr<char[]> MSWResourceHandler::loadString(int id) const {
    const std::optional<std::string_view> text = store_.string(id);
    if (!text || text->empty()) {
        return nullptr;
    }
    const std::size_t length = std::min(text->size(), maxStringLength);
    std::unique_ptr<char[]> copy(new char[length + 1]);
    std::memcpy(copy.get(), text->data(), length);
    copy[length] = '\0';
    return copy;
}
