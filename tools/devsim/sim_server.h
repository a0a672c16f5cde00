#pragma once

// The loop that serves a device model over a transport: it reads what the
// updater writes, hands it to the model, and sends the answers when they
// are due (after the request's line time, the answer's delay and the bytes
// still on the line before them). The model takes the bytes as soon as they
// are read; only its answers wait for the line. It runs on one thread;
// stop() may be called from any thread and from a signal handler.

#include <chrono>
#include <deque>
#include <mutex>

#include "tools/devsim/device_model.h"
#include "tools/devsim/line_timing.h"
#include "tools/devsim/transport.h"

namespace vek {
namespace devsim {

struct ServeOptions {
    int baud = 0;                   // line-time simulation; 0 = off
    bool exitAfterRestart = false;  // end once the restart has been answered
    int inputFd = -1;               // end when this descriptor reaches end of file
};

enum class ServeEnd {
    Stopped,      // stop() was called
    InputClosed,  // inputFd reached end of file
    Restarted,    // exitAfterRestart and the device restarted
    Gone,         // the transport cannot serve any more
};

const char* serveEndName(ServeEnd end);

class SimServer {
public:
    // model is used under modelLock, so other threads may look at it while
    // the loop runs. Throws std::runtime_error when the wake-up pipe cannot
    // be made.
    SimServer(DeviceModel& model, std::mutex& modelLock, Transport& transport, ServeOptions options);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    ServeEnd run();
    // Makes run return soon; async-signal-safe.
    void stop() noexcept;

private:
    using Clock = LineTiming::Clock;
    struct Pending {
        ByteVector bytes;
        std::size_t sent = 0;
        Clock::time_point start;  // when its first byte begins to leave
        bool hangUpAfter = false;
    };

    void readFromLine(Clock::time_point now);
    void sendDue(Clock::time_point now);
    // Milliseconds until the next byte is due, at most the idle tick.
    int pollTimeoutMs(Clock::time_point now) const;
    bool restartedAndQuiet();

    DeviceModel& model_;
    std::mutex& modelLock_;
    Transport& transport_;
    ServeOptions options_;
    LineTiming line_;
    std::deque<Pending> pending_;
    bool writeBlocked_ = false;           // the far end is not taking bytes; wait for POLLOUT
    Clock::time_point linkQuietUntil_{};  // back off after a hang-up on our side of the line
    int wakePipe_[2] = {-1, -1};
};

}  // namespace devsim
}  // namespace vek
