#pragma once

// The one object through which the updater talks to a device: it frames
// requests, writes them to a channel and waits for the matching answer by
// polling the channel, turning time-outs, bad check values, error answers
// and unexpected flag bits into vek::ComError exceptions.
//
// A wait polls in cycles: one read of at most 500 bytes, parsing, matching,
// and when nothing matched an idle step: the idle callback, then a wait of at
// most 10 ms for input on the channel, which ends as soon as bytes arrive
// (a channel that cannot wait gets a sleep of at least 10 ms instead). Bytes
// and telegrams not consumed by one call stay queued for the next.

#include <cstdint>
#include <deque>
#include <functional>
#include <utility>

#include "protocol/telegram.h"
#include "protocol/telegram_parser.h"
#include "protocol/tg_forward_list.h"
#include "protocol/timers.h"

namespace vek {

class Channel;

// A request as the update procedure fills it.
struct TgRequest {
    std::uint8_t command = 0;
    // 1: type 4; 2: type 5 (direction bit reversed); anything else: type 3.
    std::uint8_t variant = 0;
    ByteVector data;  // at most 8191 bytes
};

class VekProtocolHandler {
public:
    using IdleCallback = std::function<void()>;

    static constexpr int kReadChunk = 500;           // bytes per read, one read per poll cycle
    static constexpr int kIdleStepMs = 10;  // the longest pause of an idle poll cycle
    static constexpr double kIdleStepSeconds = kIdleStepMs / 1000.0;

    VekProtocolHandler();
    // Time-outs and idle sleeps on the given clock; the parser's gap rule on
    // the given microsecond clock (the wall clock when empty).
    explicit VekProtocolHandler(TickClock& clock, TelegramParser::MicrosecondClock microseconds = {});
    virtual ~VekProtocolHandler();
    VekProtocolHandler(const VekProtocolHandler&) = delete;
    VekProtocolHandler& operator=(const VekProtocolHandler&) = delete;

    // Not owned; null counts as a channel that is not open.
    void setChannel(Channel* channel) { channel_ = channel; }
    Channel* channel() const { return channel_; }

    // Sends with flag bits 0x60 (plus the variant's direction bit) and,
    // unless noWait, waits for the answer of the same type and command and
    // throws WrongAnswer when its flag bits 6..5 are not 01. The answer's
    // payload is not returned.
    void request(const TgRequest& request, bool noWait = false);
    // Send with only the variant's direction bit and return the answer of
    // the same type and command, flag bits unchecked.
    VekTelegram query(int command, int variant);
    VekTelegram queryWith(int command, int variant, const ByteVector& payload);
    VekTelegram queryRequest(const TgRequest& request);

    // Builds and writes one frame without waiting. Throws NoConnection when
    // the channel is not open, WriteError when the frame cannot be built
    // (type not 3..5, payload over 8191 bytes) or the channel wrote less.
    void sendRaw(int type, int command, int flags, const void* payload, int length);

    // Waits for a telegram of the type and command (-1: any). A timeout of 0
    // or less means the default time-out. Throws NoConnection (channel not
    // open, checked before the wait starts), Timeout, CRCError (the awaited
    // telegram or an error answer of the awaited type failed its check) or
    // ErrorObject (an error answer of the awaited type; its first payload
    // byte, 0 when it has none, is the device code).
    VekTelegram waitForAnswer(int type, int command, float timeout);

    // One poll: one read from the channel, then parsing and dispatch. True
    // when a telegram for the caller is at the front of the telegram queue.
    bool receive(int expectedCommand);

    // Discards what the channel has buffered and every byte not yet parsed,
    // and drops a partly received telegram.
    void flushInput();

    // Telegrams of other commands matching (type, command, flags) that
    // arrive during a wait go to the callback (see TgForwardList::add).
    void registerForward(int type, int command, int flags, ForwardCallback callback);

    // Ignored unless greater than 0.
    void setDefaultTimeout(float seconds);
    float defaultTimeout() const { return defaultTimeout_; }
    // Called once in every idle poll cycle; empty removes it.
    void setIdleCallback(IdleCallback callback) { idleCallback_ = std::move(callback); }

private:
    bool channelOpen() const;
    void sendFrame(int type, int command, int flags, const ByteVector& payload);
    void idleStep();

    Channel* channel_ = nullptr;
    LRTimer answerTimer_;
    std::deque<std::uint8_t> byteQueue_;
    TelegramParser parser_;
    float defaultTimeout_ = 1.0f;
    IdleCallback idleCallback_;
    TgForwardList forwards_;
    ByteVector frame_;  // reused for every frame sent
    // The last idle step was ended early by the channel.
    bool wokeByChannel_ = false;
    // The read after such a wake-up brought nothing: the next idle step
    // sleeps instead of waiting, so a line that keeps signalling (hung up,
    // failing) cannot make the loop spin.
    bool sleepNextIdleStep_ = false;
};

}  // namespace vek
