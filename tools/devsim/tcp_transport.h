#pragma once

// A TCP listener on the loopback interface standing in for the detector's
// cable: one connection at a time; when it ends, the next one is accepted.
// The device keeps its state across connections. A hang-up closes the
// current connection.

#include <string>

#include "tools/devsim/transport.h"

namespace vek {
namespace devsim {

class TcpTransport : public Transport {
public:
    // Listens on 127.0.0.1:port; port 0 lets the system choose. Throws
    // std::runtime_error with the reason.
    explicit TcpTransport(int port);
    ~TcpTransport() override;
    TcpTransport(const TcpTransport&) = delete;
    TcpTransport& operator=(const TcpTransport&) = delete;

    int port() const { return port_; }
    std::string address() const override { return "localhost:" + std::to_string(port_); }
    int fd() const override { return connection_; }
    int acceptFd() const override { return listener_; }
    void acceptConnection() override;
    void connectionLost() override;
    void hangUp() override { connectionLost(); }
    long writeSome(const std::uint8_t* data, std::size_t length) override;

private:
    int listener_ = -1;
    int connection_ = -1;
    int port_ = 0;
};

}  // namespace devsim
}  // namespace vek
