#pragma once

// Telegram framing shared by the updater and the device.
//
// A frame is: "VEK", a type digit '3'/'4'/'5', the command (255 marks an
// error answer), flags in bits 7..5 of the next byte with payload length bits
// 12..8 below them, length bits 7..0, the payload, and a 16-bit check value
// sent high byte first. Type 3 frames are checked with sum16, types 4 and 5
// with crc16. Nothing is escaped: the receiver skips the payload by its
// length, so "VEK" may occur inside it.

#include <array>
#include <cstdint>
#include <ctime>

#include "protocol/struct_packer.h"

namespace vek {

constexpr int kMaxPayloadLength = 8191;  // 13-bit length field
constexpr int kHeaderLength = 7;
constexpr int kCheckLength = 2;
constexpr std::uint16_t kCrc16Start = 0xFFFF;
constexpr std::uint16_t kSum16Start = 0x1834;
constexpr int kErrorAnswerCommand = 255;
constexpr int kDirectionBit = 0x80;
constexpr int kRequestFlagBits = 0x60;   // flags 6..5 of a request that wants a checked answer
constexpr int kPositiveAnswerBits = 0x20;  // flags 6..5 of the device's positive answer
constexpr int kFlagBitsMask = 0x60;

// CRC-16, polynomial 0x1021, most significant bit first, no reflection and
// no final XOR. A negative length returns 0xFFFF without reading.
std::uint16_t crc16(const void* bytes, int length, std::uint16_t initial);
// The two-accumulator check of type 3 frames. A negative length returns
// 0x1834 without reading.
std::uint16_t sum16(const void* bytes, int length, std::uint16_t initial);

// Empties out and builds one frame into it. Returns 0, or -1 when the type
// is not 3, 4 or 5 or the payload does not fit the length field (0..8191
// bytes); out then holds no valid frame. flags must have bits 4..0 clear.
int buildFrame(ByteVector& out, int type, int command, int flags, const void* payload, int length);
int buildFrame(ByteVector& out, int type, int command, int flags, const ByteVector& payload);

// Callers pick the telegram type through a variant number:
// 1 -> type 4, 2 -> type 5 (direction bit reversed), anything else -> type 3.
int typeForVariant(int variant);
int requestFlagsForVariant(int variant);
int answerFlagsForVariant(int variant);

// A frame as the receive parser collected it.
struct ReceivedTelegram {
    std::array<std::uint8_t, kHeaderLength> header{};
    ByteVector data;
    std::uint8_t checkFirst = 0;   // high byte of the check value
    std::uint8_t checkSecond = 0;  // low byte
    int type = 0;
    int command = 0;
    int flags = 0;  // header byte 5 & 0xE0
    int length = 0;
};

// Whether a telegram travels from the updater to the device: types 3 and 4
// with bit 7 clear, type 5 with bit 7 set; false for any other type.
bool isRequestDirection(int type, int flags);
bool isRequestDirection(const ReceivedTelegram& telegram);

// True when the check bytes match the header and payload; false for a type
// other than 3, 4 or 5.
bool checkTelegram(const ReceivedTelegram& telegram);

// A telegram handed to callers: when it arrived, type, command, flag bits
// 7..5 and the payload.
class VekTelegram {
public:
    VekTelegram();
    VekTelegram(std::uint8_t type, std::uint8_t command, std::uint8_t flags, ByteVector data);
    explicit VekTelegram(const ReceivedTelegram& received);
    virtual ~VekTelegram();
    VekTelegram(const VekTelegram&) = default;
    VekTelegram& operator=(const VekTelegram&) = default;
    VekTelegram(VekTelegram&&) = default;
    VekTelegram& operator=(VekTelegram&&) = default;

    std::time_t timestamp;  // calendar time in seconds
    std::uint8_t type;
    std::uint8_t command;
    std::uint8_t flags;
    ByteVector data;
};

}  // namespace vek

// The bootloader's identification answer (command 126).
class T3xx_Telegram_126 : public vek::VekTelegram {
public:
    static constexpr int kCommand = 126;
    static constexpr int kTextLength = 5;

    T3xx_Telegram_126();
    ~T3xx_Telegram_126() override;
    T3xx_Telegram_126(const T3xx_Telegram_126&) = default;
    T3xx_Telegram_126& operator=(const T3xx_Telegram_126&) = default;

    // Fills the fields from an answer payload, little-endian, by its length:
    //   11: version(2) pageSizeUnits(1) pageCount(2) extra(1) text(5)
    //    9: version(1)  pageSizeUnits(1) pageCount(2) text(5)
    //    4: version(1)  pageSizeUnits(1) pageCount(2)
    // Any other length throws vek::TgParseError and changes nothing.
    void parse(const vek::ByteVector& payload);
    // The payload of the 11-, 9- or 4-byte form that parse reads back into
    // these fields (the shorter forms carry the version's low byte only).
    // Other lengths throw std::invalid_argument.
    vek::ByteVector toPayload(int length) const;

    std::uint16_t version = 0;       // in hundredths: 346 is 3.46
    std::uint8_t pageSizeUnits = 0;  // page size in bytes / 8
    std::uint16_t pageCount = 0;
    std::uint8_t extra = 0;          // 11-byte form only
    std::array<char, kTextLength + 1> text{};  // zero-terminated, empty in the 4-byte form
};
