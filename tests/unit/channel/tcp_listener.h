#pragma once

// A loopback TCP listener on a free port and the accepted far end, for
// driving socket channels in tests.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "channel/channel.h"

class TcpPeer {
public:
    explicit TcpPeer(int fd = -1) : fd_(fd) {}
    TcpPeer(TcpPeer&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    TcpPeer& operator=(TcpPeer&&) = delete;
    ~TcpPeer() { close(); }

    bool ok() const { return fd_ >= 0; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    void send(const std::string& bytes) const { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    std::string receive(std::size_t count) const {
        std::string bytes;
        char buffer[256];
        while (bytes.size() < count && waitReadable()) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }
    bool sawEndOfStream() const {
        char byte;
        return waitReadable() && ::recv(fd_, &byte, 1, 0) == 0;
    }

private:
    bool waitReadable() const {
        pollfd entry{fd_, POLLIN, 0};
        return ::poll(&entry, 1, 2000) == 1;
    }
    int fd_;
};

class TcpListener {
public:
    // Listens on the loopback address, on a free port unless port is given.
    explicit TcpListener(std::uint16_t port = 0) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        const int reuse = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd_, 4) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
    }
    ~TcpListener() {
        if (fd_ >= 0) ::close(fd_);
    }
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    bool ok() const { return port_ != 0; }
    std::uint16_t port() const { return port_; }
    TcpPeer accept() const {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, 2000) != 1) return TcpPeer();
        return TcpPeer(::accept(fd_, nullptr, nullptr));
    }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// Reads from a non-blocking channel until it returns something other than
// 0, or two seconds have passed (then 0).
inline int readUntilData(vek::Channel& channel, char* buffer, int capacity) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int n = 0;
    while ((n = channel.read(buffer, capacity)) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return n;
}
