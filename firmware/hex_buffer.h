#pragma once

// A fixed-size memory image of a device's program memory, filled from Intel
// HEX text (record types 00 to 05) held in memory or in a file, and able to
// write its used address range back out as Intel HEX.
//
// Every failure throws ErrorMsg with one fixed message; messages about a
// particular line quote it exactly as read, line end included. A failed read
// keeps what the records before the failing line wrote.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// One parsed line of Intel HEX text.
struct HexRecord {
    std::uint8_t count = 0;      // number of data bytes
    std::uint32_t address = 0;   // 16-bit load offset
    std::uint8_t type = 0;       // record type
    std::vector<std::uint8_t> data;  // `count` bytes
};

class HexBuffer {
public:
    // Longest line the memory reader accepts, line feed included.
    static constexpr std::size_t memoryLineWindow = 199;
    // Size of the file reader's line buffer; one read takes one less.
    static constexpr std::size_t fileLineBuffer = 300;

    // An image of `size` bytes (at least 1), every byte `fill`, used range empty.
    HexBuffer(std::int32_t size, std::uint8_t fill);
    HexBuffer(const HexBuffer&) = delete;
    HexBuffer& operator=(const HexBuffer&) = delete;

    // Reads Intel HEX text of `length` characters (no terminating zero needed).
    void readFromMemory(const char* text, std::size_t length);
    // Reads an Intel HEX file, opened in text mode.
    void readFromFile(const std::string& path);
    // Writes the used range as Intel HEX, opened in text mode.
    void writeToFile(const std::string& path) const;

    void setUsedRange(std::int32_t start, std::int32_t end);
    void setByte(std::int32_t address, std::uint8_t value);
    int getByte(std::int32_t address) const;
    // Copies the other image's used range to the same addresses here; it must
    // lie above this image's used range and inside this image.
    void append(const HexBuffer& other);

    // Parses one line; characters after the checksum are ignored.
    static void parseLine(const std::string& line, HexRecord& record);
    // Writes one record with its checksum and a line end.
    static void writeRecord(std::FILE* stream, const HexRecord& record);
    // Up to eight hexadecimal digits, either case.
    static std::uint32_t hexToUInt(const std::string& text);

    const std::uint8_t* data() const { return data_.get(); }
    std::int32_t size() const { return size_; }
    // The used range, inclusive; empty when lowest() > highest().
    std::int32_t lowest() const { return lowest_; }
    std::int32_t highest() const { return highest_; }
    bool usedRangeEmpty() const { return lowest_ > highest_; }

private:
    void clearUsedRange();
    // Applies one line to the image; returns true at the End Of File record.
    bool applyLine(const std::string& line, std::uint32_t& base);

    std::unique_ptr<std::uint8_t[]> data_;
    std::int32_t lowest_;
    std::int32_t highest_;
    std::int32_t size_;
};
