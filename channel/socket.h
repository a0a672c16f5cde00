#pragma once

#include <cstdint>
#include <string>

#include "channel/channel.h"

// Where a TCP channel connects to.
struct TcpSettings {
    std::uint32_t address = 0;  // IPv4 in network byte order: the first number of the dotted form is the first byte
    std::uint16_t port = 0;     // in host byte order
};

namespace vek {

// The network-order address a.b.c.d.
std::uint32_t ipv4Address(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);

// Reads "a.b.c.d:port" (each number 0..255, port 0..65535) or
// "localhost:port" (lower case; address 127.0.0.1). Numbers may carry
// leading white space and a sign, as with scanf("%d"); text after the port
// is ignored. Returns false, leaving address and port unchanged, for
// anything else.
bool parseTcpAddress(const char* text, std::uint32_t& address, std::uint16_t& port);

// Whether parseTcpAddress accepts text.
bool isTcpAddress(const char* text);

// A TCP client connection as a byte-stream channel: the connection is made
// blocking, then the socket is used non-blocking so that reads return at
// once like the serial port's.
class Socket : public Channel {
public:
    Socket() = default;
    ~Socket() override;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    const char* className() const override { return "Socket"; }
    // Shuts the connection down in both directions and releases it; returns 0.
    int close() override;
    bool isOpen() const override { return handle_ >= 0; }
    // The address text is not looked at: connects to *settings (a
    // TcpSettings record, which replaces the stored address and port), or to
    // the stored ones when settings is null. As connectStored.
    int open(const char* address, const void* settings) override;
    // Bytes received, at most capacity; 0 at once when none are waiting;
    // -1 when the peer has closed the connection (the socket stays open
    // until close) or receiving failed.
    int read(char* buffer, int capacity) override;
    // Sends all of data, waiting a while for room when the connection is
    // congested; returns length or -1. A peer that has gone away gives -1,
    // never a broken-pipe signal.
    int write(const char* data, int length) override;
    // Sleeps in the kernel until bytes arrive or the connection ends, at
    // most the milliseconds; kCannotWait while not connected.
    int waitForInput(int milliseconds) override;

    // Stores address and port, then connectStored().
    int connectTo(std::uint32_t address, std::uint16_t port);
    // Connects to the stored address and port, closing an open connection
    // first. Returns the socket handle (>= 0), -1 when no socket could be
    // created, -2 when the connection attempt failed (the socket is closed).
    int connectStored();
    // Takes over a connected socket and makes it non-blocking; returns handle.
    int attach(int handle);

    std::uint32_t address() const { return address_; }
    std::uint16_t port() const { return port_; }
    // Why the last failing connect, read or write failed, e.g. "Connection refused".
    const char* lastErrorText() const { return lastError_.c_str(); }

private:
    int fail(int code, std::string reason);

    int handle_ = -1;  // the POSIX socket descriptor while open
    std::uint32_t address_ = 0;
    std::uint16_t port_ = 0;
    std::string lastError_;
};

}  // namespace vek
