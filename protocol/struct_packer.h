#pragma once

// Fixed-width integers and byte runs to and from telegram payloads.
// Both classes use little-endian order unless switched to big-endian.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace vek {

using ByteVector = std::vector<std::uint8_t>;

// Appends to a byte vector. Made on a caller's vector it borrows it, and the
// vector keeps the packed bytes after the packer is gone; default-constructed
// it owns a vector of its own (reachable through buffer()).
class StructPacker {
public:
    StructPacker();
    // clear: empty the vector first; otherwise the packer appends after
    // the bytes already there.
    StructPacker(ByteVector& target, bool clear);
    virtual ~StructPacker();
    StructPacker(const StructPacker&) = delete;
    StructPacker& operator=(const StructPacker&) = delete;

    void setBigEndian(bool on) { bigEndian_ = on; }
    bool bigEndian() const { return bigEndian_; }
    ByteVector& buffer() { return *buffer_; }

    // Each writes the low bits of the value; signed and unsigned forms write
    // the same bytes. All return the packer so that calls can be chained.
    StructPacker& putU8(std::uint32_t value);
    StructPacker& putI8(std::int32_t value);
    StructPacker& putU16(std::uint32_t value);
    StructPacker& putI16(std::int32_t value);
    StructPacker& putU32(std::uint32_t value);
    StructPacker& putI32(std::int32_t value);
    StructPacker& putBytes(const ByteVector& bytes);
    StructPacker& putBytes(const void* data, std::size_t length);

private:
    void putWord(std::uint32_t value, int byteCount);

    std::unique_ptr<ByteVector> owned_;
    ByteVector* buffer_;
    bool bigEndian_ = false;
};

// Consumes integers and byte runs from the front of a copy of the source.
// A read that needs more bytes than remain throws vek::TgParseError and
// consumes nothing: payloads come from the device, and a short one must
// never be read past its end.
class StructUnpacker {
public:
    explicit StructUnpacker(const ByteVector& source);
    virtual ~StructUnpacker();

    void setBigEndian(bool on) { bigEndian_ = on; }
    bool bigEndian() const { return bigEndian_; }
    std::size_t remaining() const { return queue_.size(); }

    std::uint8_t getU8();
    std::int8_t getI8();
    std::uint16_t getU16();
    std::int16_t getI16();
    std::uint32_t getU32();
    std::int32_t getI32();
    // Copies count bytes into destination and returns destination.
    void* getBytes(void* destination, std::size_t count);
    ByteVector getBytes(std::size_t count);

private:
    void require(std::size_t count) const;
    std::uint32_t getWord(int byteCount);

    std::deque<std::uint8_t> queue_;
    bool bigEndian_ = false;
};

}  // namespace vek
