#include "tools/devsim/sim_server.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace vek {
namespace devsim {

namespace {

constexpr int kIdleTickMs = 100;  // how often a half-received frame may expire
constexpr auto kQuietAfterLoss = std::chrono::milliseconds(20);

bool wouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

}  // namespace

const char* serveEndName(ServeEnd end) {
    switch (end) {
        case ServeEnd::Stopped: return "stopped";
        case ServeEnd::InputClosed: return "input closed";
        case ServeEnd::Restarted: return "restarted";
        case ServeEnd::Gone: return "line gone";
    }
    return "?";
}

SimServer::SimServer(DeviceModel& model, std::mutex& modelLock, Transport& transport, ServeOptions options)
    : model_(model), modelLock_(modelLock), transport_(transport), options_(options), line_(options.baud) {
    if (::pipe2(wakePipe_, O_NONBLOCK | O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("cannot create a pipe: ") + std::strerror(errno));
    }
}

SimServer::~SimServer() {
    ::close(wakePipe_[0]);
    ::close(wakePipe_[1]);
}

void SimServer::stop() noexcept {
    const char byte = 1;
    const ssize_t written = ::write(wakePipe_[1], &byte, 1);
    (void)written;  // a full pipe already holds a wake-up
}

ServeEnd SimServer::run() {
    for (;;) {
        Clock::time_point now = Clock::now();
        sendDue(now);
        if (restartedAndQuiet()) {
            transport_.drain(1000);
            return ServeEnd::Restarted;
        }
        if (transport_.gone()) return ServeEnd::Gone;

        pollfd fds[4] = {};
        int count = 0;
        int inputAt = -1, lineAt = -1, acceptAt = -1;
        fds[count++] = {wakePipe_[0], POLLIN, 0};
        if (options_.inputFd >= 0) {
            inputAt = count;
            fds[count++] = {options_.inputFd, POLLIN, 0};
        }
        const int lineFd = transport_.fd();
        if (lineFd >= 0 && now >= linkQuietUntil_) {
            lineAt = count;
            fds[count++] = {lineFd, static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0};
        } else if (lineFd < 0 && transport_.acceptFd() >= 0) {
            acceptAt = count;
            fds[count++] = {transport_.acceptFd(), POLLIN, 0};
        }
        const int ready = ::poll(fds, static_cast<nfds_t>(count), pollTimeoutMs(now));
        if (ready < 0 && errno != EINTR) {
            throw std::runtime_error(std::string("poll failed: ") + std::strerror(errno));
        }
        if (ready > 0) {
            if (fds[0].revents != 0) {
                char drain[64];
                while (::read(wakePipe_[0], drain, sizeof drain) > 0) {
                }
                return ServeEnd::Stopped;
            }
            if (inputAt >= 0 && fds[inputAt].revents != 0) {
                char discard[256];
                const ssize_t got = ::read(options_.inputFd, discard, sizeof discard);
                if (got == 0 || (got < 0 && !wouldBlock())) return ServeEnd::InputClosed;
            }
            if (acceptAt >= 0 && (fds[acceptAt].revents & POLLIN)) transport_.acceptConnection();
            if (lineAt >= 0) {
                const short events = fds[lineAt].revents;
                if (events & POLLOUT) writeBlocked_ = false;
                if (events & (POLLIN | POLLHUP | POLLERR)) readFromLine(Clock::now());
            }
        }
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.idle();
    }
}

void SimServer::readFromLine(Clock::time_point now) {
    std::uint8_t buffer[4096];
    const long got = transport_.readSome(buffer, sizeof buffer);
    if (got < 0 && wouldBlock()) return;
    if (got <= 0) {
        // The far end went away. Answers still queued have nobody to go to.
        transport_.connectionLost();
        pending_.clear();
        writeBlocked_ = false;
        linkQuietUntil_ = now + kQuietAfterLoss;
        return;
    }
    const auto count = static_cast<std::size_t>(got);
    const Clock::time_point start = line_.arrive(now, count);
    std::vector<Outgoing> answers;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        answers = model_.receive(buffer, count);
    }
    for (Outgoing& answer : answers) {
        const Clock::time_point due = line_.byteEnd(start, answer.afterByte) + std::chrono::milliseconds(answer.delayMs);
        Pending next;
        next.bytes = std::move(answer.bytes);
        next.hangUpAfter = answer.hangUpAfter;
        next.start = line_.depart(due, next.bytes.size());
        pending_.push_back(std::move(next));
    }
}

void SimServer::sendDue(Clock::time_point now) {
    while (!pending_.empty()) {
        Pending& front = pending_.front();
        if (now < front.start) return;
        const std::size_t due = line_.bytesOut(front.start, now, front.bytes.size());
        if (due > front.sent) {
            if (writeBlocked_) return;
            if (transport_.fd() < 0) {
                front.sent = due;  // no one connected: the bytes are lost on the line
            } else {
                const long written = transport_.writeSome(front.bytes.data() + front.sent, due - front.sent);
                if (written < 0) {
                    if (errno == EINTR) return;
                    if (wouldBlock()) {
                        writeBlocked_ = true;
                        return;
                    }
                    transport_.connectionLost();
                    pending_.clear();
                    return;
                }
                front.sent += static_cast<std::size_t>(written);
                {
                    std::lock_guard<std::mutex> lock(modelLock_);
                    model_.noteBytesSent(static_cast<std::size_t>(written));
                }
                if (front.sent < due) {
                    writeBlocked_ = true;
                    return;
                }
            }
        }
        if (front.sent < front.bytes.size()) return;
        if (front.hangUpAfter) {
            {
                std::lock_guard<std::mutex> lock(modelLock_);
                model_.noteHangUp();
            }
            transport_.hangUp();
            linkQuietUntil_ = now + kQuietAfterLoss;
        }
        pending_.pop_front();
    }
}

int SimServer::pollTimeoutMs(Clock::time_point now) const {
    Clock::time_point next = now + std::chrono::milliseconds(kIdleTickMs);
    if (!pending_.empty() && !writeBlocked_) {
        const Pending& front = pending_.front();
        next = std::min(next, now < front.start ? front.start : line_.byteEnd(front.start, front.sent));
    }
    if (linkQuietUntil_ > now) next = std::min(next, linkQuietUntil_);
    if (next <= now) return 0;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now);
    return static_cast<int>(wait.count());
}

bool SimServer::restartedAndQuiet() {
    if (!options_.exitAfterRestart || !pending_.empty()) return false;
    std::lock_guard<std::mutex> lock(modelLock_);
    return model_.restarts() > 0;
}

}  // namespace devsim
}  // namespace vek
