#include "bench/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace bench {

namespace {

Usage fromRusage(const rusage& r) {
    Usage usage;
    usage.cpuSeconds = static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
                       static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    usage.peakResidentKiB = r.ru_maxrss;  // Linux reports kilobytes
    return usage;
}

std::runtime_error systemError(const std::string& what, int error) {
    return std::runtime_error(what + ": " + std::strerror(error));
}

}  // namespace

Usage selfUsage() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    return fromRusage(r);
}

ChildProcess::ChildProcess(const std::vector<std::string>& command) {
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0) throw systemError("pipe", errno);
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(toChild[0]);
        ::close(toChild[1]);
        throw systemError("pipe", error);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int error = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
    if (error != 0) {
        pid_ = -1;
        throw systemError("cannot start " + command.front(), error);
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        try {
            finish();
        } catch (...) {
        }
    }
    if (input_ >= 0) ::close(input_);
    if (output_ >= 0) ::close(output_);
}

std::string ChildProcess::readLine(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::size_t end = buffered_.find('\n');
        if (end != std::string::npos) {
            std::string line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd entry{output_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            throw std::runtime_error("no line from the child program in time");
        }
        char chunk[256];
        const ssize_t n = ::read(output_, chunk, sizeof chunk);
        if (n <= 0) throw std::runtime_error("the child program ended before it wrote a line");
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string ChildProcess::finish() {
    if (input_ >= 0) {
        ::close(input_);
        input_ = -1;
    }
    std::string rest = std::move(buffered_);
    buffered_.clear();
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(output_, chunk, sizeof chunk);
        if (n > 0) {
            rest.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    if (pid_ > 0) {
        rusage r{};
        int status = 0;
        while (::wait4(pid_, &status, 0, &r) < 0 && errno == EINTR) {
        }
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        usage_ = fromRusage(r);
        pid_ = -1;
    }
    return rest;
}

}  // namespace bench
