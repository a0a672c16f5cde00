#pragma once

// Turns a received byte stream into telegrams, one byte at a time.
//
// The parser hunts for "VEK" and a type digit, then takes the header, the
// payload by its length and the two check bytes, and queues the telegram
// whether or not its check value is right (checkTelegram tells). It never
// fails: unexpected bytes before the header is complete are dropped.
//
// Gap rule: a partial telegram is abandoned when more than 0.5 s have passed
// since its last byte while the parser has been fed or polled within the last
// 0.5 s. A long pause in which nobody fed or polled the parser says nothing
// about the line and does not count.

#include <cstdint>
#include <deque>
#include <functional>

#include "protocol/telegram.h"

namespace vek {

class TelegramParser {
public:
    // Wall-clock microseconds; only differences of up to a few seconds matter.
    using MicrosecondClock = std::function<std::int64_t()>;

    TelegramParser();
    explicit TelegramParser(MicrosecondClock clock);

    // Takes one byte; true when it completed a telegram, which has then been
    // appended to telegrams().
    bool feed(std::uint8_t byte);
    // Notes activity without a byte, so that the gap rule can fire.
    void poll();
    // Drops a partial telegram and hunts for a start mark again; the queue
    // of complete telegrams is kept.
    void reset();

    // 0 while hunting for a start mark; 1..9 inside a frame.
    int state() const { return state_; }
    // Complete telegrams, oldest first.
    std::deque<ReceivedTelegram>& telegrams() { return queue_; }
    const std::deque<ReceivedTelegram>& telegrams() const { return queue_; }

private:
    void applyGapRule(std::int64_t now);

    MicrosecondClock clock_;
    int state_ = 0;
    int counter_ = 0;
    ReceivedTelegram current_;
    std::deque<ReceivedTelegram> queue_;
    std::int64_t lastActivity_;
    std::int64_t lastByte_;
};

}  // namespace vek
