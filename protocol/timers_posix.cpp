// The platform half of the timers: the monotonic tick, the sleep and the
// wall clock, on POSIX clocks.

#include "protocol/timers.h"

#include <cerrno>
#include <time.h>

namespace vek {

namespace {

class MonotonicTickClock : public TickClock {
public:
    std::int64_t ticks() override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    }
    void sleep(int milliseconds) override { sleepMilliseconds(milliseconds); }
};

}  // namespace

TickClock& systemTickClock() {
    static MonotonicTickClock clock;
    return clock;
}

void sleepMilliseconds(int milliseconds) {
    if (milliseconds <= 0) return;
    timespec remaining{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    // A signal cuts the sleep short; sleep on for what is left.
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &remaining, &remaining) == EINTR) {
    }
}

std::uint32_t systemMicroseconds(MicroTime& time) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    time = MicroTime::fromCalendar(now.tv_sec, now.tv_nsec);
    return time.low;
}

}  // namespace vek
