#include "protocol/telegram.h"

#include <stdexcept>
#include <utility>

#include "protocol/errors.h"

namespace vek {

namespace {

std::uint8_t rotateLeft(std::uint8_t v) { return static_cast<std::uint8_t>((v << 1) | (v >> 7)); }

std::uint8_t rotateRight(std::uint8_t v) { return static_cast<std::uint8_t>((v >> 1) | (v << 7)); }

std::uint16_t checkValue(int type, const ByteVector& bytes) {
    const auto length = static_cast<int>(bytes.size());
    return type == 3 ? sum16(bytes.data(), length, kSum16Start) : crc16(bytes.data(), length, kCrc16Start);
}

}  // namespace

std::uint16_t crc16(const void* bytes, int length, std::uint16_t initial) {
    if (length < 0) return 0xFFFF;
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    std::uint16_t crc = initial;
    for (int i = 0; i < length; ++i) {
        crc = static_cast<std::uint16_t>(crc ^ (p[i] << 8));
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021) : static_cast<std::uint16_t>(crc << 1);
        }
    }
    return crc;
}

std::uint16_t sum16(const void* bytes, int length, std::uint16_t initial) {
    if (length < 0) return kSum16Start;
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    auto hi = static_cast<std::uint8_t>(initial >> 8);
    auto lo = static_cast<std::uint8_t>(initial);
    for (int i = 0; i < length; ++i) {
        const std::uint8_t d = p[i];
        const auto newLo = static_cast<std::uint8_t>(lo + rotateLeft(static_cast<std::uint8_t>(d ^ lo)));
        const auto newHi = static_cast<std::uint8_t>(hi - rotateRight(static_cast<std::uint8_t>(~(d ^ hi))));
        lo = newLo;
        hi = newHi;
    }
    return static_cast<std::uint16_t>((hi << 8) | lo);
}

int buildFrame(ByteVector& out, int type, int command, int flags, const void* payload, int length) {
    out.clear();
    if (type < 3 || type > 5) return -1;
    if (length < 0 || length > kMaxPayloadLength || (length > 0 && payload == nullptr)) return -1;
    out.reserve(static_cast<std::size_t>(kHeaderLength + length + kCheckLength));
    out.insert(out.end(), {'V', 'E', 'K', static_cast<std::uint8_t>('0' + type)});
    out.push_back(static_cast<std::uint8_t>(command));
    out.push_back(static_cast<std::uint8_t>(flags + ((length >> 8) & 0x1F)));
    out.push_back(static_cast<std::uint8_t>(length & 0xFF));
    const auto* bytes = static_cast<const std::uint8_t*>(payload);
    if (length > 0) out.insert(out.end(), bytes, bytes + length);
    const std::uint16_t check = checkValue(type, out);
    out.push_back(static_cast<std::uint8_t>(check >> 8));
    out.push_back(static_cast<std::uint8_t>(check & 0xFF));
    return 0;
}

int buildFrame(ByteVector& out, int type, int command, int flags, const ByteVector& payload) {
    if (payload.size() > static_cast<std::size_t>(kMaxPayloadLength)) {
        out.clear();
        return -1;
    }
    return buildFrame(out, type, command, flags, payload.data(), static_cast<int>(payload.size()));
}

int typeForVariant(int variant) {
    switch (variant) {
        case 1: return 4;
        case 2: return 5;
        default: return 3;
    }
}

int requestFlagsForVariant(int variant) { return variant == 2 ? kDirectionBit : 0x00; }

int answerFlagsForVariant(int variant) { return variant == 2 ? 0x00 : kDirectionBit; }

bool isRequestDirection(int type, int flags) {
    const bool directionBit = (flags & kDirectionBit) != 0;
    if (type == 3 || type == 4) return !directionBit;
    if (type == 5) return directionBit;
    return false;
}

bool isRequestDirection(const ReceivedTelegram& telegram) { return isRequestDirection(telegram.type, telegram.flags); }

bool checkTelegram(const ReceivedTelegram& telegram) {
    const auto payloadLength = static_cast<int>(telegram.data.size());
    switch (telegram.type) {
        case 3: {
            std::uint16_t sum = sum16(telegram.header.data(), kHeaderLength, kSum16Start);
            sum = sum16(telegram.data.data(), payloadLength, sum);
            return (sum >> 8) == telegram.checkFirst && (sum & 0xFF) == telegram.checkSecond;
        }
        case 4:
        case 5: {
            const std::uint8_t check[kCheckLength] = {telegram.checkFirst, telegram.checkSecond};
            std::uint16_t crc = crc16(telegram.header.data(), kHeaderLength, kCrc16Start);
            crc = crc16(telegram.data.data(), payloadLength, crc);
            return crc16(check, kCheckLength, crc) == 0;
        }
        default:
            return false;
    }
}

VekTelegram::VekTelegram() : VekTelegram(0, 0, 0, {}) {}

VekTelegram::VekTelegram(std::uint8_t type, std::uint8_t command, std::uint8_t flags, ByteVector data)
    : timestamp(std::time(nullptr)), type(type), command(command), flags(flags), data(std::move(data)) {}

VekTelegram::VekTelegram(const ReceivedTelegram& received)
    : VekTelegram(static_cast<std::uint8_t>(received.type), static_cast<std::uint8_t>(received.command),
                  static_cast<std::uint8_t>(received.flags), received.data) {}

VekTelegram::~VekTelegram() = default;

}  // namespace vek

T3xx_Telegram_126::T3xx_Telegram_126() : vek::VekTelegram(0, kCommand, 0, {}) {}

T3xx_Telegram_126::~T3xx_Telegram_126() = default;

void T3xx_Telegram_126::parse(const vek::ByteVector& payload) {
    const std::size_t length = payload.size();
    if (length != 11 && length != 9 && length != 4) throw vek::TgParseError();
    vek::StructUnpacker in(payload);
    version = length == 11 ? in.getU16() : in.getU8();
    pageSizeUnits = in.getU8();
    pageCount = in.getU16();
    extra = length == 11 ? in.getU8() : 0;
    text.fill('\0');
    if (length != 4) in.getBytes(text.data(), kTextLength);
}

vek::ByteVector T3xx_Telegram_126::toPayload(int length) const {
    if (length != 11 && length != 9 && length != 4) {
        throw std::invalid_argument("identification payload must be 4, 9 or 11 bytes long");
    }
    vek::ByteVector payload;
    vek::StructPacker out(payload, true);
    if (length == 11) {
        out.putU16(version);
    } else {
        out.putU8(version);
    }
    out.putU8(pageSizeUnits).putU16(pageCount);
    if (length == 11) out.putU8(extra);
    if (length != 4) out.putBytes(text.data(), kTextLength);
    return payload;
}
