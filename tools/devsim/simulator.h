#pragma once

// A simulated detector running on a background thread, for tests and
// benchmarks in the same process:
//
//     vek::devsim::Simulator sim(config, faults);
//     std::string port = sim.startPty();   // open this like a serial port
//     ... drive the updater ...
//     sim.stop();
//     EXPECT_EQ(sim.flash(), image);
//
// report(), flash() and modify() may be called while it runs.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tools/devsim/device_model.h"
#include "tools/devsim/sim_server.h"

namespace vek {
namespace devsim {

class Transport;

class Simulator {
public:
    // Throws std::invalid_argument when the configuration is not usable.
    explicit Simulator(DeviceConfig config = {}, FaultPlan faults = {}, ServeOptions options = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Serves on a new pseudo-terminal and returns the path of its slave
    // side, the port to open. Throws std::runtime_error when the
    // pseudo-terminal cannot be made or the simulator runs already.
    std::string startPty();
    // Serves on 127.0.0.1:port (0 = any free port) and returns the port.
    int startTcp(int port = 0);
    // Ends the serving thread; the model and its report stay readable.
    // Safe to call more than once.
    void stop();
    // Waits up to the milliseconds for the loop to end by itself (an exit
    // condition such as exitAfterRestart, or a line that is gone).
    bool waitFinished(int milliseconds);
    bool running() const;
    // Why the loop ended, or what went wrong in it; empty while it runs.
    std::string endReason() const;

    // What the updater opens: the slave path or "localhost:PORT".
    const std::string& address() const { return address_; }
    SimReport report() const;
    ByteVector flash() const;
    DeviceModel::Mode mode() const;
    // Runs change on the model while the serving thread keeps off it, for
    // faults that begin part-way through a run.
    void modify(const std::function<void(DeviceModel&)>& change);

private:
    void start(std::unique_ptr<Transport> transport);

    DeviceModel model_;
    mutable std::mutex modelLock_;
    ServeOptions options_;
    std::unique_ptr<Transport> transport_;
    std::unique_ptr<SimServer> server_;
    std::thread thread_;
    std::string address_;
    mutable std::mutex stateLock_;
    bool finished_ = false;
    std::string endReason_;
};

}  // namespace devsim
}  // namespace vek
