#include "protocol/struct_packer.h"

#include "protocol/errors.h"

namespace vek {

StructPacker::StructPacker() : owned_(std::make_unique<ByteVector>()), buffer_(owned_.get()) {}

StructPacker::StructPacker(ByteVector& target, bool clear) : buffer_(&target) {
    if (clear) target.clear();
}

StructPacker::~StructPacker() = default;

void StructPacker::putWord(std::uint32_t value, int byteCount) {
    for (int i = 0; i < byteCount; ++i) {
        const int shift = 8 * (bigEndian_ ? byteCount - 1 - i : i);
        buffer_->push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

StructPacker& StructPacker::putU8(std::uint32_t value) {
    putWord(value, 1);
    return *this;
}

StructPacker& StructPacker::putI8(std::int32_t value) { return putU8(static_cast<std::uint32_t>(value)); }

StructPacker& StructPacker::putU16(std::uint32_t value) {
    putWord(value, 2);
    return *this;
}

StructPacker& StructPacker::putI16(std::int32_t value) { return putU16(static_cast<std::uint32_t>(value)); }

StructPacker& StructPacker::putU32(std::uint32_t value) {
    putWord(value, 4);
    return *this;
}

StructPacker& StructPacker::putI32(std::int32_t value) { return putU32(static_cast<std::uint32_t>(value)); }

StructPacker& StructPacker::putBytes(const ByteVector& bytes) {
    buffer_->insert(buffer_->end(), bytes.begin(), bytes.end());
    return *this;
}

StructPacker& StructPacker::putBytes(const void* data, std::size_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (length > 0) buffer_->insert(buffer_->end(), bytes, bytes + length);
    return *this;
}

StructUnpacker::StructUnpacker(const ByteVector& source) : queue_(source.begin(), source.end()) {}

StructUnpacker::~StructUnpacker() = default;

void StructUnpacker::require(std::size_t count) const {
    if (count > queue_.size()) throw TgParseError();
}

std::uint32_t StructUnpacker::getWord(int byteCount) {
    require(static_cast<std::size_t>(byteCount));
    std::uint32_t value = 0;
    for (int i = 0; i < byteCount; ++i) {
        const int shift = 8 * (bigEndian_ ? byteCount - 1 - i : i);
        value |= static_cast<std::uint32_t>(queue_.front()) << shift;
        queue_.pop_front();
    }
    return value;
}

std::uint8_t StructUnpacker::getU8() { return static_cast<std::uint8_t>(getWord(1)); }

std::int8_t StructUnpacker::getI8() { return static_cast<std::int8_t>(getWord(1)); }

std::uint16_t StructUnpacker::getU16() { return static_cast<std::uint16_t>(getWord(2)); }

std::int16_t StructUnpacker::getI16() { return static_cast<std::int16_t>(getWord(2)); }

std::uint32_t StructUnpacker::getU32() { return getWord(4); }

std::int32_t StructUnpacker::getI32() { return static_cast<std::int32_t>(getWord(4)); }

void* StructUnpacker::getBytes(void* destination, std::size_t count) {
    require(count);
    auto* out = static_cast<std::uint8_t*>(destination);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = queue_.front();
        queue_.pop_front();
    }
    return destination;
}

ByteVector StructUnpacker::getBytes(std::size_t count) {
    require(count);
    ByteVector bytes(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(count));
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(count));
    return bytes;
}

}  // namespace vek
