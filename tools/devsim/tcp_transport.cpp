#include "tools/devsim/tcp_transport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace vek {
namespace devsim {

TcpTransport::TcpTransport(int port) {
    if (port < 0 || port > 65535) throw std::runtime_error("TCP port must be 0 to 65535");
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ < 0) throw std::runtime_error(std::string("cannot create a socket: ") + std::strerror(errno));
    const int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 1) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(listener_);
        throw std::runtime_error("cannot listen on TCP port " + std::to_string(port) + ": " + reason);
    }
    port_ = ntohs(address.sin_port);
}

TcpTransport::~TcpTransport() {
    connectionLost();
    ::close(listener_);
}

void TcpTransport::acceptConnection() {
    if (connection_ >= 0) return;
    connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (connection_ >= 0) {
        const int on = 1;
        ::setsockopt(connection_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
}

void TcpTransport::connectionLost() {
    if (connection_ >= 0) ::close(connection_);
    connection_ = -1;
}

long TcpTransport::writeSome(const std::uint8_t* data, std::size_t length) {
    // No SIGPIPE for a peer that has gone: the failed write says it.
    return ::send(connection_, data, length, MSG_NOSIGNAL);
}

}  // namespace devsim
}  // namespace vek
