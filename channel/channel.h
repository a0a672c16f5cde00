#pragma once

// The byte-stream interface through which the protocol handler talks to a
// device. Channels never throw: every operation returns an integer, negative
// for failure, and a read never waits for data. Waiting, polling and time-outs
// belong to the protocol handler; a channel only offers, through
// waitForInput, to put the caller to sleep until bytes arrive.
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

    // Result of waitForInput for a channel that has no way to wait (or is
    // not open): the caller sleeps instead.
    static constexpr int kCannotWait = -1;
    // Blocks until the next read would not come back empty (bytes have
    // arrived, or the connection failed and the read will say so), for at
    // most the milliseconds. Returns 1 when that happened, 0 when the time
    // passed (or a signal cut the wait short), kCannotWait otherwise.
    virtual int waitForInput(int milliseconds) {
        (void)milliseconds;
        return kCannotWait;
    }
};

}  // namespace vek
