#pragma once

// A pseudo-terminal standing in for the detector's serial cable. The
// updater opens the slave side (slavePath) like any serial port; the
// simulator keeps the master.
//
// The simulator also holds the slave open itself, so the master keeps
// working while no updater has the port open and between two updaters.
// A hang-up is TIOCVHANGUP on the slave, which the updater sees as a pulled
// cable and may recover from by opening the port again; where that is not
// permitted (it needs CAP_SYS_ADMIN) the master is closed instead, which
// ends the simulator.

#include <string>

#include "tools/devsim/transport.h"

namespace vek {
namespace devsim {

class PtyTransport : public Transport {
public:
    // Creates the pseudo-terminal and sets it raw at once (a new one echoes
    // and edits lines). symlinkPath: when not empty, a symbolic link to the
    // slave made there and removed again at the end. Throws
    // std::runtime_error with the reason.
    explicit PtyTransport(const std::string& symlinkPath = "");
    ~PtyTransport() override;
    PtyTransport(const PtyTransport&) = delete;
    PtyTransport& operator=(const PtyTransport&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    std::string address() const override { return symlinkPath_.empty() ? slavePath_ : symlinkPath_; }
    int fd() const override { return master_; }
    void hangUp() override;
    bool gone() const override { return master_ < 0; }
    void drain(int milliseconds) override;

private:
    void openKeeper();

    int master_ = -1;
    int keeper_ = -1;  // our own descriptor of the slave
    std::string slavePath_;
    std::string symlinkPath_;
};

}  // namespace devsim
}  // namespace vek
