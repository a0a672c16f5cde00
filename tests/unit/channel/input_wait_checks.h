#pragma once

// The common check of a channel's waitForInput on a live connection: it runs
// out its bound while nothing comes, and ends early when bytes arrive.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "channel/channel.h"

// send() delivers bytes to the channel; it is called 50 ms into a long wait.
inline void expectWaitEndsWhenBytesArrive(vek::Channel& channel, const std::function<void()>& send) {
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    EXPECT_EQ(channel.waitForInput(30), 0);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(25));

    std::thread sender([&send] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        send();
    });
    start = Clock::now();
    EXPECT_EQ(channel.waitForInput(20000), 1);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));  // woken by the bytes, not by the bound
    sender.join();
}
