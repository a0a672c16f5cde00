#pragma once

// Time-outs, sleeps and wall-clock microseconds for the protocol.
//
// LRTimer counts milliseconds of a monotonic clock: the time-out must run
// while the process sleeps, so a processor-time clock will not do. The clock
// is injectable so that time-outs can be tested without sleeping.

#include <cstdint>

namespace vek {

// A monotonic millisecond tick and a sleep on the same time base.
class TickClock {
public:
    virtual ~TickClock() = default;
    virtual std::int64_t ticks() = 0;
    virtual void sleep(int milliseconds) = 0;
};

// The process's real clock (monotonic ticks, sleepMilliseconds).
TickClock& systemTickClock();

// A time-out of some seconds, measured in 1-ms ticks.
class LRTimer {
public:
    LRTimer();
    explicit LRTimer(TickClock& clock);
    virtual ~LRTimer();

    // Restarts the timer with a new length.
    virtual void start(double seconds);
    // True once the length has passed (reaching it exactly counts).
    virtual bool expired();
    // Moves the start forward by the seconds (whole milliseconds). With
    // catchUp, an expired timer keeps moving by that step until it is no
    // longer expired, so a periodic timer skips the periods it missed.
    virtual void extend(double seconds, bool catchUp);
    // Blocks for at least the seconds, in 1-ms sleeps; the elapsed time is
    // sampled before each sleep, so it may overshoot by about one sleep.
    // Does not touch the timer's own start and length.
    virtual void wait(double seconds);

private:
    TickClock* clock_;
    std::int64_t startTicks_ = 0;
    double duration_ = 0.0;
};

// Sleeps the calling thread for the milliseconds (nothing for 0 or less).
void sleepMilliseconds(int milliseconds);

// A signed 64-bit count of microseconds since 1970-01-01 00:00 UTC, held as
// two 32-bit words.
struct MicroTime {
    std::uint32_t low = 0;
    std::int32_t high = 0;

    MicroTime() = default;
    MicroTime(std::uint32_t low, std::int32_t high) : low(low), high(high) {}
    static MicroTime fromMicroseconds(std::int64_t microseconds);
    // A calendar time (seconds and nanoseconds since 1970) in microseconds.
    static MicroTime fromCalendar(std::int64_t seconds, std::int64_t nanoseconds);
    std::int64_t microseconds() const;
};

// Fills time with the current wall-clock time and returns its low word.
std::uint32_t systemMicroseconds(MicroTime& time);

}  // namespace vek
