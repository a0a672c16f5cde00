#pragma once

// Access to the program's resources in the way the firmware catalogue asks for
// them: blobs by name and type (matched without regard to case) with their
// sizes remembered under the handed-out address, strings by number as fresh
// copies. The data itself belongs to the store and is never copied.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "firmware/resource_store.h"

class MSWResourceHandler {
public:
    // The store must outlive the handler.
    explicit MSWResourceHandler(const ResourceStore& store);
    virtual ~MSWResourceHandler();

    // The data of the blob with this name and type, or null when there is
    // none; its size is recorded under the returned address.
    const void* loadResource(const char* name, const char* type);
    // The recorded size of a handed-out address; 0 for any other address.
    std::int32_t resourceSize(const void* address) const;
    // A zero-terminated copy of string `id` (at most maxStringLength
    // characters), or null when the string is absent or empty.
    std::unique_ptr<char[]> loadString(int id) const;

    static constexpr std::size_t maxStringLength = 4097;

private:
    const ResourceStore& store_;
    // std::less gives pointers a total order, also between different blobs.
    std::map<const void*, std::int32_t, std::less<const void*>> sizes_;
};
