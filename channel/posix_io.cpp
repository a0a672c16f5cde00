#include "channel/posix_io.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>

namespace vek::posix {

namespace {

ssize_t writeOnce(int fd, const char* data, std::size_t length, Sender sender) {
    return sender == Sender::kSend ? ::send(fd, data, length, MSG_NOSIGNAL) : ::write(fd, data, length);
}

}  // namespace

int writeAll(int fd, const char* data, int length, int timeoutMs, Sender sender) {
    using Clock = std::chrono::steady_clock;
    int done = 0;
    auto lastProgress = Clock::now();
    while (done < length) {
        const ssize_t n = writeOnce(fd, data + done, static_cast<std::size_t>(length - done), sender);
        if (n > 0) {
            done += static_cast<int>(n);
            lastProgress = Clock::now();
            continue;
        }
        if (n == 0) {
            errno = EIO;
            return -1;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastProgress);
        const long long left = timeoutMs - waited.count();
        if (left <= 0) {
            errno = ETIMEDOUT;
            return -1;
        }
        pollfd entry{fd, POLLOUT, 0};
        // A hang-up or error wakes the poll too; the next write then fails
        // with the system's reason.
        if (::poll(&entry, 1, static_cast<int>(left)) < 0 && errno != EINTR) return -1;
    }
    return done;
}

int waitReadable(int fd, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (ready < 0) return errno == EINTR ? 0 : -1;
    if (ready == 0) return 0;
    return (entry.revents & POLLNVAL) != 0 ? -1 : 1;
}

bool hungUp(int fd) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 0) <= 0) return false;
    return (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

std::string errorText(int error) {
    return std::generic_category().message(error);
}

}  // namespace vek::posix
