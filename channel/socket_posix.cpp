// The TCP channel on POSIX sockets.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "channel/posix_io.h"
#include "channel/socket.h"

namespace vek {

namespace {

// How long a write waits for a congested connection to take data.
constexpr int kWriteTimeoutMs = 10000;

bool makeNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

Socket::~Socket() {
    close();
}

int Socket::close() {
    if (handle_ < 0) return 0;
    ::shutdown(handle_, SHUT_RDWR);
    ::close(handle_);
    handle_ = -1;
    return 0;
}

int Socket::open(const char* /*address*/, const void* settings) {
    if (settings != nullptr) {
        const auto* record = static_cast<const TcpSettings*>(settings);
        address_ = record->address;
        port_ = record->port;
    }
    return connectStored();
}

int Socket::connectTo(std::uint32_t address, std::uint16_t port) {
    address_ = address;
    port_ = port;
    return connectStored();
}

int Socket::connectStored() {
    close();
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = address_;
    peer.sin_port = htons(port_);

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return fail(-1, "no socket could be created: " + posix::errorText(errno));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(-2, posix::errorText(error));
    }
    makeNonBlocking(fd);
    handle_ = fd;
    lastError_.clear();
    return fd;
}

int Socket::attach(int handle) {
    if (handle != handle_) close();
    handle_ = handle;
    makeNonBlocking(handle);
    return handle;
}

int Socket::read(char* buffer, int capacity) {
    if (handle_ < 0) return fail(-1, "not connected");
    if (capacity <= 0) return 0;
    const ssize_t n = ::recv(handle_, buffer, static_cast<std::size_t>(capacity), 0);
    if (n > 0) return static_cast<int>(n);
    if (n == 0) return fail(-1, "the connection was closed by the peer");
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    return fail(-1, posix::errorText(errno));
}

int Socket::write(const char* data, int length) {
    if (handle_ < 0) return fail(-1, "not connected");
    if (length <= 0) return 0;
    if (posix::writeAll(handle_, data, length, kWriteTimeoutMs, posix::Sender::kSend) < 0) {
        return fail(-1, posix::errorText(errno));
    }
    return length;
}

int Socket::waitForInput(int milliseconds) {
    if (handle_ < 0) return kCannotWait;
    const int ready = posix::waitReadable(handle_, milliseconds);
    return ready < 0 ? kCannotWait : ready;
}

int Socket::fail(int code, std::string reason) {
    lastError_ = std::move(reason);
    return code;
}

}  // namespace vek
