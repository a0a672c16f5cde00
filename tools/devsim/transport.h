#pragma once

// The simulator's side of a connection to the updater: a pseudo-terminal or
// a TCP listener. The server loop polls the descriptors a transport offers
// and moves bytes between them and the device model.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vek {
namespace devsim {

class Transport {
public:
    virtual ~Transport() = default;

    // What the updater opens: a device path, or "localhost:PORT".
    virtual std::string address() const = 0;
    // The descriptor of the current connection, -1 while there is none.
    virtual int fd() const = 0;
    // A descriptor to poll for a new connection while there is none; -1
    // when the transport has no such thing.
    virtual int acceptFd() const { return -1; }
    // Takes a pending connection (acceptFd was readable).
    virtual void acceptConnection() {}
    // The far end went away (end of file or a failed read).
    virtual void connectionLost() {}
    // Pulls the cable: the updater's side sees a hang-up.
    virtual void hangUp() = 0;
    // True once the transport cannot serve any more (a pseudo-terminal that
    // had to be closed to hang up).
    virtual bool gone() const { return false; }
    // Waits up to the milliseconds until the updater has read what was
    // sent, so that nothing is lost when the simulator ends right after.
    virtual void drain(int milliseconds) { (void)milliseconds; }

    // Non-blocking I/O on fd(); -1 with errno as the system call left it.
    virtual long readSome(std::uint8_t* buffer, std::size_t capacity);
    virtual long writeSome(const std::uint8_t* data, std::size_t length);
};

}  // namespace devsim
}  // namespace vek
