#pragma once

// A pseudo-terminal standing in for a serial device: the test holds the
// master side, the port under test opens the slave path.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

class PtyPair {
public:
    PtyPair() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        // A new pty echoes and translates line ends until it is made raw.
        termios t{};
        ::tcgetattr(master_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(master_, TCSANOW, &t);
        slavePath_ = ::ptsname(master_);
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0 && !slavePath_.empty(); }
    const char* slavePath() const { return slavePath_.c_str(); }
    int master() const { return master_; }

    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

    // The slave's line settings as the terminal driver holds them.
    termios slaveSettings() const {
        termios t{};
        ::tcgetattr(master_, &t);
        return t;
    }

    void send(const std::string& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            else waitFor(POLLOUT, 100);
        }
    }

    // Up to count bytes that the slave side wrote, waiting at most timeoutMs.
    std::string receive(std::size_t count, int timeoutMs = 2000) const {
        std::string bytes;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            char buffer[512];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0) bytes.append(buffer, static_cast<std::size_t>(n));
            else waitFor(POLLIN, 20);
        }
        return bytes;
    }

private:
    void waitFor(short events, int timeoutMs) const {
        pollfd entry{master_, events, 0};
        ::poll(&entry, 1, timeoutMs);
    }

    int master_ = -1;
    std::string slavePath_;
};
