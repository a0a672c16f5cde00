#pragma once

// Descriptor helpers shared by the POSIX serial port and socket backends.

#include <string>

namespace vek::posix {

enum class Sender { kWrite, kSend };

// Writes all length bytes of data to the non-blocking descriptor fd,
// waiting for room when the driver's buffer is full. kSend uses send()
// with MSG_NOSIGNAL so that a peer that has gone away yields EPIPE instead
// of killing the process. Returns length, or -1 with errno set; ETIMEDOUT
// when not a single byte could be written for timeoutMs.
int writeAll(int fd, const char* data, int length, int timeoutMs, Sender sender);

// Waits up to timeoutMs for fd to become readable or report a hang-up or
// error: 1 when it did, 0 when the time passed or a signal interrupted the
// wait, -1 when the descriptor cannot be polled.
int waitReadable(int fd, int timeoutMs);

// Whether the descriptor reports a hang-up or error condition right now
// (a vanished USB device, the far side of a pseudo-terminal closed).
bool hungUp(int fd);

// The system's own text for an errno value.
std::string errorText(int error);

}  // namespace vek::posix
