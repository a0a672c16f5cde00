#include "protocol/telegram_parser.h"

#include <utility>

#include "protocol/timers.h"

namespace vek {

namespace {

constexpr std::int32_t kMaxActivityGap = 499999;  // µs: the parser is being used
constexpr std::int32_t kMaxByteGap = 500000;      // µs: more is silence on the line

std::int64_t wallClockMicroseconds() {
    MicroTime now;
    systemMicroseconds(now);
    return now.microseconds();
}

// Differences are taken on the low 32 bits, which is exact for gaps of up to
// about half an hour either way.
std::int32_t elapsed(std::int64_t now, std::int64_t then) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(now) - static_cast<std::uint32_t>(then));
}

}  // namespace

TelegramParser::TelegramParser() : TelegramParser(wallClockMicroseconds) {}

TelegramParser::TelegramParser(MicrosecondClock clock) : clock_(std::move(clock)) {
    lastActivity_ = lastByte_ = clock_();
}

void TelegramParser::applyGapRule(std::int64_t now) {
    if (elapsed(now, lastActivity_) <= kMaxActivityGap && elapsed(now, lastByte_) > kMaxByteGap) state_ = 0;
    lastActivity_ = now;
}

void TelegramParser::poll() { applyGapRule(clock_()); }

void TelegramParser::reset() { state_ = 0; }

bool TelegramParser::feed(std::uint8_t byte) {
    const std::int64_t now = clock_();
    applyGapRule(now);
    lastByte_ = now;

    auto& header = current_.header;
    switch (state_) {
        case 0:
            if (byte == 'V') {
                header[0] = byte;
                state_ = 1;
            }
            return false;
        case 1:
        case 2:
            // A wrong letter is dropped, not examined as a new start.
            if (byte == (state_ == 1 ? 'E' : 'K')) {
                header[static_cast<std::size_t>(state_)] = byte;
                ++state_;
            } else {
                state_ = 0;
            }
            return false;
        case 3:
            if (byte >= '3' && byte <= '5') {
                header[3] = byte;
                current_.type = byte - '0';
                state_ = 4;
            } else {
                state_ = 0;
            }
            return false;
        case 4:
            header[4] = byte;
            current_.command = byte;
            current_.data.clear();
            state_ = 5;
            return false;
        case 5:
            header[5] = byte;
            current_.flags = byte & 0xE0;
            current_.length = (byte & 0x1F) * 256;
            state_ = 6;
            return false;
        case 6:
            header[6] = byte;
            current_.length += byte;
            counter_ = 0;
            current_.data.reserve(static_cast<std::size_t>(current_.length));
            state_ = current_.length > 0 ? 7 : 8;
            return false;
        case 7:
            current_.data.push_back(byte);
            if (++counter_ == current_.length) state_ = 8;
            return false;
        case 8:
            current_.checkFirst = byte;
            state_ = 9;
            return false;
        default:
            current_.checkSecond = byte;
            queue_.push_back(current_);
            state_ = 0;
            return true;
    }
}

}  // namespace vek

