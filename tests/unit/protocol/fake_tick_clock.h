#pragma once

// A tick clock that stands still until told to move; sleeping advances it.

#include <cstdint>

#include "protocol/timers.h"

namespace vek::test {

class FakeTickClock : public TickClock {
public:
    std::int64_t ticks() override { return now; }
    void sleep(int milliseconds) override {
        ++sleeps;
        now += milliseconds;
    }

    std::int64_t now = 1000000;
    int sleeps = 0;
};

}  // namespace vek::test
