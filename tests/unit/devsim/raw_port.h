#pragma once

// The updater's end of a simulator's line, opened with plain system calls so
// that the transports are tested without the project's channel classes.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>

#include "protocol/telegram.h"
#include "protocol/telegram_parser.h"

namespace vek::devsim::test {

class RawPort {
public:
    RawPort() = default;
    RawPort(const RawPort&) = delete;
    RawPort& operator=(const RawPort&) = delete;
    ~RawPort() { close(); }

    bool openTty(const std::string& path) {
        close();
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return false;
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
        tcflush(fd_, TCIOFLUSH);
        return true;
    }

    bool connectTcp(int port) {
        close();
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return false;
        ::fcntl(fd_, F_SETFL, O_NONBLOCK);
        return true;
    }

    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        parser_ = TelegramParser();
    }

    bool send(const ByteVector& bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // The next complete telegram, or nothing when none arrived in time or the
    // line was hung up (then hungUp() tells).
    std::optional<ReceivedTelegram> receive(int timeoutMs = 2000) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (!parser_.telegrams().empty()) {
                ReceivedTelegram telegram = parser_.telegrams().front();
                parser_.telegrams().pop_front();
                return telegram;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd pfd{fd_, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
            std::uint8_t buffer[512];
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got <= 0) {
                if (got < 0 && errno == EAGAIN) continue;
                hungUp_ = true;
                return std::nullopt;
            }
            for (ssize_t i = 0; i < got; ++i) parser_.feed(buffer[i]);
        }
    }

    bool hungUp() const { return hungUp_; }

private:
    int fd_ = -1;
    bool hungUp_ = false;
    TelegramParser parser_;
};

}  // namespace vek::devsim::test
