#pragma once

// Time on a simulated serial line at a baud rate, 8N1: 10 bits a byte.
//
// A pseudo-terminal or a socket delivers bytes at once; a real line takes
// its time. With a baud rate set, a request counts as arrived only when its
// last byte would have arrived, and the answer's bytes leave one by one at
// line speed. Each direction is a line of its own: bytes queue behind the
// bytes still on it. A baud rate of 0 makes the line instant.

#include <chrono>
#include <cstddef>

namespace vek {
namespace devsim {

class LineTiming {
public:
    using Clock = std::chrono::steady_clock;

    explicit LineTiming(int baud = 0);

    int baud() const { return baud_; }
    Clock::duration byteTime() const { return byteTime_; }

    // Count bytes were read at readAt; returns when the first of them began
    // to arrive (after the bytes still arriving before them).
    Clock::time_point arrive(Clock::time_point readAt, std::size_t count);
    // The moment byte index (from 0) of a run that began at start is in.
    Clock::time_point byteEnd(Clock::time_point start, std::size_t index) const;
    // Count bytes may leave from ready on; returns when the first of them
    // begins to leave (after the bytes still leaving before them).
    Clock::time_point depart(Clock::time_point ready, std::size_t count);
    // How many of count bytes that began to leave at start are out by now.
    std::size_t bytesOut(Clock::time_point start, Clock::time_point now, std::size_t count) const;

private:
    int baud_;
    Clock::duration byteTime_;
    Clock::time_point inFreeAt_{};
    Clock::time_point outFreeAt_{};
};

}  // namespace devsim
}  // namespace vek
