#include <gtest/gtest.h>

#include <chrono>

#include "fake_tick_clock.h"
#include "protocol/timers.h"

namespace vek {
namespace {

using test::FakeTickClock;

TEST(LRTimer, ExpiresWhenTheLengthIsReached) {
    FakeTickClock clock;
    LRTimer timer(clock);
    timer.start(1.0);
    EXPECT_FALSE(timer.expired());
    clock.now += 999;
    EXPECT_FALSE(timer.expired());
    clock.now += 1;
    EXPECT_TRUE(timer.expired());

    timer.start(0.0);
    EXPECT_TRUE(timer.expired());
}

TEST(LRTimer, ExtendWithoutCatchUpMovesOnce) {
    FakeTickClock clock;
    LRTimer timer(clock);
    timer.start(1.0);
    clock.now += 2000;  // expired a second ago
    timer.extend(0.5, false);
    EXPECT_TRUE(timer.expired());
    clock.now -= 501;  // just before the moved expiry
    EXPECT_FALSE(timer.expired());
}

TEST(LRTimer, ExtendWithCatchUpSkipsMissedPeriods) {
    FakeTickClock clock;
    LRTimer timer(clock);
    timer.start(1.0);
    clock.now += 2100;  // expired 1.1 s ago
    timer.extend(0.25, true);
    // Five steps of 250 ms: 1.25 s moved, so 150 ms remain.
    EXPECT_FALSE(timer.expired());
    clock.now += 149;
    EXPECT_FALSE(timer.expired());
    clock.now += 1;
    EXPECT_TRUE(timer.expired());

    // A step below one tick does not move the start and cannot loop.
    timer.extend(0.0001, true);
    EXPECT_TRUE(timer.expired());
}

TEST(LRTimer, WaitSleepsInMillisecondStepsSampledBeforeEachSleep) {
    FakeTickClock clock;
    LRTimer timer(clock);
    timer.wait(0.0);
    EXPECT_EQ(clock.sleeps, 1);

    clock.sleeps = 0;
    const auto before = clock.now;
    timer.wait(0.01);
    EXPECT_EQ(clock.now - before, 11);  // samples at 0..10 ms, one sleep after each
    EXPECT_EQ(clock.sleeps, 11);
}

TEST(SystemTime, RealClocksRunAndMicrosecondsCountFrom1970) {
    EXPECT_EQ(MicroTime::fromCalendar(0, 0).microseconds(), 0);
    const MicroTime y2k = MicroTime::fromCalendar(946684800, 0);
    EXPECT_EQ(y2k.microseconds(), 946684800000000);
    EXPECT_EQ(MicroTime(y2k.low, y2k.high).microseconds(), 946684800000000);
    EXPECT_EQ(MicroTime::fromMicroseconds(-1).microseconds(), -1);

    MicroTime now;
    const std::uint32_t low = systemMicroseconds(now);
    EXPECT_EQ(low, now.low);
    const auto reference = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
    EXPECT_NEAR(static_cast<double>(now.microseconds()), static_cast<double>(reference), 5e6);

    // The real timer runs while the process sleeps.
    LRTimer timer;
    timer.start(60.0);
    EXPECT_FALSE(timer.expired());
    timer.start(0.05);
    const auto start = std::chrono::steady_clock::now();
    sleepMilliseconds(60);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
    EXPECT_TRUE(timer.expired());
    timer.wait(0.02);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(80));
}

}  // namespace
}  // namespace vek
