#include "tools/devsim/pty_transport.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace vek {
namespace devsim {

namespace {

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void makeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
}

}  // namespace

PtyTransport::PtyTransport(const std::string& symlinkPath) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) throw systemError("cannot create a pseudo-terminal");
    // Raw before anything can arrive: a new pseudo-terminal echoes what the
    // updater writes straight back to it.
    makeRaw(master_);
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        const std::runtime_error error = systemError("cannot set up the pseudo-terminal");
        ::close(master_);
        throw error;
    }
    slavePath_ = name;
    try {
        openKeeper();
        if (!symlinkPath.empty()) {
            ::unlink(symlinkPath.c_str());  // a link left by an earlier run
            if (::symlink(slavePath_.c_str(), symlinkPath.c_str()) != 0) {
                throw systemError("cannot create the link " + symlinkPath);
            }
            symlinkPath_ = symlinkPath;
        }
    } catch (...) {
        if (keeper_ >= 0) ::close(keeper_);
        ::close(master_);
        throw;
    }
}

PtyTransport::~PtyTransport() {
    if (!symlinkPath_.empty()) {
        // Remove the link only while it still points at our slave.
        char target[256] = {};
        const ssize_t n = ::readlink(symlinkPath_.c_str(), target, sizeof target - 1);
        if (n > 0 && slavePath_ == std::string(target, static_cast<std::size_t>(n))) {
            ::unlink(symlinkPath_.c_str());
        }
    }
    if (keeper_ >= 0) ::close(keeper_);
    if (master_ >= 0) ::close(master_);
}

void PtyTransport::openKeeper() {
    keeper_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (keeper_ < 0) throw systemError("cannot open " + slavePath_);
    makeRaw(keeper_);
}

void PtyTransport::hangUp() {
    if (master_ < 0) return;
    if (keeper_ >= 0 && ::ioctl(keeper_, TIOCVHANGUP, 0) == 0) {
        // Our own descriptor was hung up too; take a fresh one so the port
        // works again for an updater that opens it anew.
        ::close(keeper_);
        keeper_ = -1;
        try {
            openKeeper();
            return;
        } catch (const std::exception&) {
            // fall through: without a keeper the master cannot be served
        }
    }
    if (keeper_ >= 0) ::close(keeper_);
    keeper_ = -1;
    ::close(master_);
    master_ = -1;
}

void PtyTransport::drain(int milliseconds) {
    if (keeper_ < 0) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    int waiting = 0;
    while (::ioctl(keeper_, FIONREAD, &waiting) == 0 && waiting > 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace devsim
}  // namespace vek
