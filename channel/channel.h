#pragma once

// The byte-stream interface through which the protocol handler talks to a
// device. Channels never throw: every operation returns an integer, negative
// for failure, and a read never waits for data. Waiting, polling and time-outs
// belong to the protocol handler.
//
// The order of the virtual operations is part of the interface: a backend
// for another platform implements the same operations in the same order.

namespace vek {

class Channel {
public:
    virtual ~Channel() = default;

    // The implementing class's own name.
    virtual const char* className() const { return "Channel"; }
    // Closes the connection; returns 0.
    virtual int close() = 0;
    // Kept for its place in the interface; every channel returns -1.
    virtual int reserved() { return -1; }
    virtual bool isOpen() const = 0;
    // Opens the address. settings points at the channel's own settings
    // record, or is null to use the settings already stored in the channel.
    // Returns >= 0 on success, a negative failure code otherwise.
    virtual int open(const char* address, const void* settings) = 0;
    // Returns the number of bytes placed in buffer (0 when nothing has
    // arrived), -1 on failure. Never waits.
    virtual int read(char* buffer, int capacity) = 0;
    // Returns the number of bytes written, -1 on failure.
    virtual int write(const char* data, int length) = 0;
};

}  // namespace vek
