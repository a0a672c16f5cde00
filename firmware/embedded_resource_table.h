#pragma once

// The layout of the resource table that the resource embedder generates from
// resources.manifest at build time. Only embedded_resources.cpp reads it.

#include <cstddef>
#include <cstdint>

struct EmbeddedString {
    int id;
    const char* text;
    std::size_t length;
};

struct EmbeddedBlob {
    const char* name;
    const char* type;
    const unsigned char* data;
    // Set by the assembler from the embedded file's length.
    const std::uint64_t* size;
};

extern const EmbeddedString embeddedStrings[];
extern const std::size_t embeddedStringCount;
extern const EmbeddedBlob embeddedBlobs[];
extern const std::size_t embeddedBlobCount;
