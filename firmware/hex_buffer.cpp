#include "firmware/hex_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "protocol/errors.h"

namespace {

const char* const kZeroSize = "Cannot have zero-size HEX buffer!";
const char* const kAllocation = "Memory allocation failed for HEX-line-buffer!";
const char* const kEmptyHex = "Cannot convert zero-length hex-string to number!";
const char* const kHexOverflow = "Hex conversion overflow! Too many hex digits in string.";
const char* const kHexDigit = "Invalid hex digit found!";
const char* const kMissingFields = "Wrong HEX file format, missing fields! Line from file was: (";
const char* const kNoColon = "Wrong HEX file format, does not start with colon! Line from file was: (";
const char* const kChecksum = "Wrong checksum for HEX record! Line from file was: (";
const char* const kUnsupported = "Unsupported HEX record format! Line from file was: (";
const char* const kOutside =
    "HEX file defines data outside buffer limits! Make sure file does not contain data outside "
    "device memory limits. Line from file was: (";
const char* const kLineTooLong = "Wrong HEX file format, line too long! Line from file was: (";
const char* const kPrematureEnd =
    "Premature end of file encountered! Make sure file contains an EOF-record.";
const char* const kOpenInput = "Error opening HEX file for input!";
const char* const kOpenOutput = "Error opening HEX file for output!";
const char* const kWriteRecord = "Error writing HEX record to file!";
const char* const kInvalidRange =
    "Invalid range! Start must be 0 or larger, end must be inside allowed memory range.";
const char* const kAddressRange = "Address outside legal range!";
const char* const kCollides = "Hexfile data collides with own data.";
const char* const kExceeds = "Hexfile exceeds allowed range.";

enum RecordType : std::uint8_t {
    kData = 0x00,
    kEndOfFile = 0x01,
    kExtendedSegment = 0x02,
    kStartSegment = 0x03,
    kExtendedLinear = 0x04,
    kStartLinear = 0x05,
};

// A message about one line: the prefix, the line exactly as read, and ").".
[[noreturn]] void throwForLine(const char* prefix, const std::string& line) {
    throw ErrorMsg(prefix + line + ").");
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Type 02 record announcing the 64 KiB segment that starts at `segment`
// (its low 16 bits clear). Segment records reach only the first MiB; above
// it a type 04 record says the same, so a large image is never written with
// wrapped-around segment numbers.
HexRecord segmentRecord(std::uint32_t segment) {
    HexRecord record;
    record.count = 2;
    if (segment < 0x100000) {
        record.type = kExtendedSegment;
        record.data = {static_cast<std::uint8_t>(segment >> 12), 0x00};
    } else {
        record.type = kExtendedLinear;
        record.data = {static_cast<std::uint8_t>(segment >> 24),
                       static_cast<std::uint8_t>(segment >> 16)};
    }
    return record;
}

}  // namespace

HexBuffer::HexBuffer(std::int32_t size, std::uint8_t fill) : lowest_(0), highest_(0), size_(size) {
    if (size < 1) {
        throw ErrorMsg(kZeroSize);
    }
    data_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]);
    if (!data_) {
        throw ErrorMsg(kAllocation);
    }
    std::memset(data_.get(), fill, static_cast<std::size_t>(size));
    clearUsedRange();
}

void HexBuffer::clearUsedRange() {
    lowest_ = size_;
    highest_ = 0;
}

std::uint32_t HexBuffer::hexToUInt(const std::string& text) {
    if (text.empty()) {
        throw ErrorMsg(kEmptyHex);
    }
    if (text.size() > 8) {
        throw ErrorMsg(kHexOverflow);
    }
    std::uint32_t value = 0;
    for (char c : text) {
        std::uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
            throw ErrorMsg(kHexDigit);
        }
        value = (value << 4) + digit;
    }
    return value;
}

void HexBuffer::parseLine(const std::string& line, HexRecord& record) {
    // The length test comes first: a short line is reported as missing
    // fields whatever its first character.
    if (line.size() <= 10) {
        throwForLine(kMissingFields, line);
    }
    if (line[0] != ':') {
        throwForLine(kNoColon, line);
    }
    record.count = static_cast<std::uint8_t>(hexToUInt(line.substr(1, 2)));
    record.address = hexToUInt(line.substr(3, 4));
    record.type = static_cast<std::uint8_t>(hexToUInt(line.substr(7, 2)));
    if (line.size() < 2u * record.count + 11u) {
        throwForLine(kMissingFields, line);
    }
    std::uint8_t sum = static_cast<std::uint8_t>(record.count + record.type + (record.address & 0xFF) +
                                                 (record.address >> 8));
    record.data.assign(record.count, 0);
    for (std::size_t i = 0; i < record.count; ++i) {
        record.data[i] = static_cast<std::uint8_t>(hexToUInt(line.substr(9 + 2 * i, 2)));
        sum = static_cast<std::uint8_t>(sum + record.data[i]);
    }
    const std::uint32_t checksum = hexToUInt(line.substr(9 + 2u * record.count, 2));
    if (static_cast<std::uint8_t>(sum + checksum) != 0) {
        throwForLine(kChecksum, line);
    }
}

bool HexBuffer::applyLine(const std::string& line, std::uint32_t& base) {
    HexRecord record;
    parseLine(line, record);
    switch (record.type) {
    case kData: {
        const std::int64_t start = static_cast<std::int64_t>(base) + record.address;
        if (start + record.count > size_) {
            throwForLine(kOutside, line);
        }
        // A record without data bytes writes nothing and leaves the used
        // range as it is.
        if (record.count > 0) {
            std::memcpy(data_.get() + start, record.data.data(), record.count);
            lowest_ = std::min(lowest_, static_cast<std::int32_t>(start));
            highest_ = std::max(highest_, static_cast<std::int32_t>(start + record.count - 1));
        }
        return false;
    }
    case kEndOfFile:
        return true;
    case kExtendedSegment:
    case kExtendedLinear: {
        // Both need two data bytes; fewer would leave the base undefined.
        if (record.count < 2) {
            throwForLine(kMissingFields, line);
        }
        const std::uint32_t value = record.data[0] * 256u + record.data[1];
        base = record.type == kExtendedSegment ? value * 16u : value * 65536u;
        return false;
    }
    case kStartSegment:
    case kStartLinear:
        return false;
    default:
        throwForLine(kUnsupported, line);
    }
}

void HexBuffer::readFromMemory(const char* text, std::size_t length) {
    if (text == nullptr) {
        throw ErrorMsg(kOpenInput);
    }
    clearUsedRange();
    std::uint32_t base = 0;
    std::size_t position = 0;
    if (length == 0) {
        throw ErrorMsg(kPrematureEnd);
    }
    for (;;) {
        const char* start = text + position;
        const std::size_t rest = length - position;
        const std::size_t window = std::min(memoryLineWindow, rest);
        const void* lineFeed = std::memchr(start, '\n', window);
        std::size_t lineLength;
        if (lineFeed != nullptr) {
            lineLength = static_cast<std::size_t>(static_cast<const char*>(lineFeed) - start) + 1;
        } else if (rest <= memoryLineWindow) {
            lineLength = rest;  // a last line without line feed is still a line
        } else {
            throwForLine(kLineTooLong, std::string(start, window));
        }
        position += lineLength;
        if (applyLine(std::string(start, lineLength), base)) {
            return;
        }
        if (position >= length) {
            throw ErrorMsg(kPrematureEnd);
        }
    }
}

void HexBuffer::readFromFile(const std::string& path) {
    FilePtr file(std::fopen(path.c_str(), "r"));
    if (!file) {
        throw ErrorMsg(kOpenInput);
    }
    clearUsedRange();
    std::uint32_t base = 0;
    const std::size_t maxRead = fileLineBuffer - 1;
    std::string line;
    for (;;) {
        line.clear();
        int c = 0;
        while (line.size() < maxRead && (c = std::getc(file.get())) != EOF) {
            line.push_back(static_cast<char>(c));
            if (c == '\n') {
                break;
            }
        }
        if (line.empty()) {
            throw ErrorMsg(kPrematureEnd);
        }
        // A full buffer without line feed is only a line of its own when the
        // file ends right there.
        if (line.back() != '\n' && line.size() == maxRead) {
            c = std::getc(file.get());
            if (c != EOF) {
                throwForLine(kLineTooLong, line);
            }
        }
        if (applyLine(line, base)) {
            return;
        }
    }
}

void HexBuffer::writeRecord(std::FILE* stream, const HexRecord& record) {
    if (record.data.size() < record.count) {
        throw ErrorMsg(kWriteRecord);
    }
    std::uint8_t sum = static_cast<std::uint8_t>(record.count + record.type + (record.address & 0xFF) +
                                                 ((record.address >> 8) & 0xFF));
    std::fprintf(stream, ":%02X%04X%02X", static_cast<unsigned>(record.count),
                 static_cast<unsigned>(record.address & 0xFFFF), static_cast<unsigned>(record.type));
    for (std::size_t i = 0; i < record.count; ++i) {
        std::fprintf(stream, "%02X", static_cast<unsigned>(record.data[i]));
        sum = static_cast<std::uint8_t>(sum + record.data[i]);
    }
    std::fprintf(stream, "%02X\n", static_cast<unsigned>(static_cast<std::uint8_t>(0x100 - sum)));
    if (std::ferror(stream)) {
        throw ErrorMsg(kWriteRecord);
    }
}

void HexBuffer::writeToFile(const std::string& path) const {
    FilePtr file(std::fopen(path.c_str(), "w"));
    if (!file) {
        throw ErrorMsg(kOpenOutput);
    }
    if (usedRangeEmpty()) {
        // Nothing to write but the frame: no data record from outside the range.
        writeRecord(file.get(), segmentRecord(0));
    } else {
        std::uint32_t segment = static_cast<std::uint32_t>(lowest_) & ~0xFFFFu;
        std::uint32_t offset = static_cast<std::uint32_t>(lowest_) & 0xFFFFu;
        std::int32_t address = lowest_;
        writeRecord(file.get(), segmentRecord(segment));
        for (;;) {
            HexRecord record;
            record.type = kData;
            record.address = offset;
            // Records hold at most 16 bytes and never cross a 64 KiB boundary.
            while (record.data.size() < 16 && offset + record.data.size() < 0x10000 && address <= highest_) {
                record.data.push_back(data_[static_cast<std::size_t>(address++)]);
            }
            record.count = static_cast<std::uint8_t>(record.data.size());
            writeRecord(file.get(), record);
            if (address > highest_) {
                break;
            }
            offset += record.count;
            if (offset > 0xFFFF) {
                offset -= 0x10000;
                segment += 0x10000;
                writeRecord(file.get(), segmentRecord(segment));
            }
        }
    }
    HexRecord endOfFile;
    endOfFile.type = kEndOfFile;
    writeRecord(file.get(), endOfFile);
    // Buffered output may fail only when it is flushed: a full disk must not
    // look like a written file.
    if (std::fclose(file.release()) != 0) {
        throw ErrorMsg(kWriteRecord);
    }
}

void HexBuffer::setUsedRange(std::int32_t start, std::int32_t end) {
    if (start < 0 || end >= size_ || start > end) {
        throw ErrorMsg(kInvalidRange);
    }
    lowest_ = start;
    highest_ = end;
}

void HexBuffer::setByte(std::int32_t address, std::uint8_t value) {
    if (address < 0 || address >= size_) {
        throw ErrorMsg(kAddressRange);
    }
    data_[static_cast<std::size_t>(address)] = value;
}

int HexBuffer::getByte(std::int32_t address) const {
    if (address < 0 || address >= size_) {
        throw ErrorMsg(kAddressRange);
    }
    return data_[static_cast<std::size_t>(address)];
}

void HexBuffer::append(const HexBuffer& other) {
    // An empty range has nothing to copy; taking its placeholder bounds
    // would wreck this image's range.
    if (other.usedRangeEmpty()) {
        return;
    }
    // An empty image has no data the other one could collide with.
    if (!usedRangeEmpty() && other.lowest_ <= highest_) {
        throw ErrorMsg(kCollides);
    }
    if (other.highest_ >= size_) {
        throw ErrorMsg(kExceeds);
    }
    std::memcpy(data_.get() + other.lowest_, other.data_.get() + other.lowest_,
                static_cast<std::size_t>(other.highest_ - other.lowest_ + 1));
    if (usedRangeEmpty()) {
        lowest_ = other.lowest_;
    }
    highest_ = other.highest_;
}
