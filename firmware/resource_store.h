#pragma once

// Where the program's resources come from: a numbered string table and named,
// typed blobs. The running program uses the store compiled into its
// executable; tests hand in a store of their own.
//
// A store is plain data: looking things up (names and types without regard
// to case, remembering sizes) is the resource handler's business. Everything
// a store hands out stays valid and unchanged while the store lives.

#include <cstddef>
#include <optional>
#include <string_view>

struct ResourceBlob {
    std::string_view name;
    std::string_view type;
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

class ResourceStore {
public:
    virtual ~ResourceStore() = default;

    // The string with this id, or nothing when the table has no such id.
    virtual std::optional<std::string_view> string(int id) const = 0;
    virtual std::size_t blobCount() const = 0;
    // Blob `index`, 0 to blobCount() - 1.
    virtual ResourceBlob blob(std::size_t index) const = 0;
};
