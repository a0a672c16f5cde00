#include "protocol/timers.h"

namespace vek {

namespace {
constexpr double kTicksPerSecond = 1000.0;
}

LRTimer::LRTimer() : LRTimer(systemTickClock()) {}

LRTimer::LRTimer(TickClock& clock) : clock_(&clock) {}

LRTimer::~LRTimer() = default;

void LRTimer::start(double seconds) {
    duration_ = seconds;
    startTicks_ = clock_->ticks();
}

bool LRTimer::expired() {
    return static_cast<double>(clock_->ticks() - startTicks_) / kTicksPerSecond >= duration_;
}

void LRTimer::extend(double seconds, bool catchUp) {
    const auto step = static_cast<std::int64_t>(seconds * kTicksPerSecond);
    startTicks_ += step;
    if (!catchUp || !expired()) return;
    while (step > 0) {
        startTicks_ += step;
        if (!expired()) return;
    }
}

void LRTimer::wait(double seconds) {
    const std::int64_t reference = clock_->ticks();
    for (;;) {
        const std::int64_t reading = clock_->ticks();
        clock_->sleep(1);
        if (static_cast<double>(reading - reference) / kTicksPerSecond >= seconds) return;
    }
}

MicroTime MicroTime::fromMicroseconds(std::int64_t microseconds) {
    const auto bits = static_cast<std::uint64_t>(microseconds);
    return MicroTime(static_cast<std::uint32_t>(bits), static_cast<std::int32_t>(bits >> 32));
}

MicroTime MicroTime::fromCalendar(std::int64_t seconds, std::int64_t nanoseconds) {
    return fromMicroseconds(seconds * 1000000 + nanoseconds / 1000);
}

std::int64_t MicroTime::microseconds() const {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) | low);
}

}  // namespace vek
