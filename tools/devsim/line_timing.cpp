#include "tools/devsim/line_timing.h"

#include <algorithm>

namespace vek {
namespace devsim {

LineTiming::LineTiming(int baud)
    : baud_(baud > 0 ? baud : 0),
      byteTime_(baud > 0 ? std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(10'000'000'000LL / baud))
                         : Clock::duration::zero()) {}

LineTiming::Clock::time_point LineTiming::arrive(Clock::time_point readAt, std::size_t count) {
    const Clock::time_point start = std::max(readAt, inFreeAt_);
    inFreeAt_ = start + byteTime_ * static_cast<long>(count);
    return start;
}

LineTiming::Clock::time_point LineTiming::byteEnd(Clock::time_point start, std::size_t index) const {
    return start + byteTime_ * static_cast<long>(index + 1);
}

LineTiming::Clock::time_point LineTiming::depart(Clock::time_point ready, std::size_t count) {
    const Clock::time_point start = std::max(ready, outFreeAt_);
    outFreeAt_ = start + byteTime_ * static_cast<long>(count);
    return start;
}

std::size_t LineTiming::bytesOut(Clock::time_point start, Clock::time_point now, std::size_t count) const {
    if (now < start) return 0;
    if (byteTime_ == Clock::duration::zero()) return count;
    const auto done = static_cast<std::size_t>((now - start) / byteTime_);
    return std::min(done, count);
}

}  // namespace devsim
}  // namespace vek
