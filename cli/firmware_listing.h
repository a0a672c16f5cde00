#pragma once

// What the program carries, for anyone who wants to check it: the list of
// embedded firmware texts with their sizes and SHA-256 sums, and a way to
// write one of them out unchanged.

#include <cstddef>
#include <string>

class FirmwareCatalogue;
class ResourceStore;

namespace vek::flash {

// SHA-256 of the bytes, as 64 lower-case hexadecimal digits.
std::string sha256Hex(const void* data, std::size_t size);

// The version line and one line per entry: index, model, size in bytes,
// SHA-256, resource name, description. The catalogue must have been built.
std::string firmwareListing(const FirmwareCatalogue& catalogue, const ResourceStore& store);

// "T310:2", "t320:0" or "310:1" as model code and index; false when the
// text has another form.
bool parseEntryName(const std::string& text, int& model, int& index);

}  // namespace vek::flash
