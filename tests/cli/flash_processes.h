#pragma once

// The programs under test as child processes: t3xx-devsim serving a
// simulated detector on a pseudo-terminal, and t3xx-flash run to its end
// with its output collected.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace vek::flash::test {

using Bytes = std::vector<std::uint8_t>;

inline std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "cli_" + std::to_string(::getpid()) + "_" + name;
}

inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline pid_t spawn(std::vector<std::string> args, posix_spawn_file_actions_t* actions) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), environ), 0) << args[0];
    return pid;
}

// Reads everything from the descriptors until each reaches its end (a
// pseudo-terminal's master ends with EIO) or the deadline passes.
inline void drain(std::vector<std::pair<int, std::string*>> sources, std::chrono::steady_clock::time_point deadline) {
    while (!sources.empty() && std::chrono::steady_clock::now() < deadline) {
        std::vector<pollfd> fds;
        for (auto& source : sources) fds.push_back({source.first, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 200) <= 0) continue;
        for (std::size_t i = fds.size(); i-- > 0;) {
            if (fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sources[i].second->append(buffer, static_cast<std::size_t>(n));
            } else {
                sources.erase(sources.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
}

// Waits up to the seconds for the child to end; kills it after that.
// Returns its exit status, -1 when it did not exit by itself.
inline int reap(pid_t pid, int seconds) {
    int status = 0;
    for (int i = 0; i < seconds * 100; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

// A simulated detector in its own process. It serves until finish(), which
// closes its standard input; its flash and report are then readable.
class Detector {
public:
    explicit Detector(std::vector<std::string> options) : flashFile_(tempPath("flash" + std::to_string(++count()))) {
        options.insert(options.begin(), {T3XX_DEVSIM_PROGRAM, "--flash-out", flashFile_});
        int in[2], out[2];
        EXPECT_EQ(::pipe2(in, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        pid_ = spawn(options, &actions);
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        output_ = out[0];
        // The first line names the pseudo-terminal.
        std::string line;
        char c;
        pollfd pfd{output_, POLLIN, 0};
        while (::poll(&pfd, 1, 5000) > 0 && ::read(output_, &c, 1) == 1 && c != '\n') line += c;
        port_ = line;
    }

    ~Detector() {
        finish();
        std::remove(flashFile_.c_str());
    }

    const std::string& port() const { return port_; }

    // Ends the simulator; returns its JSON report.
    const std::string& finish() {
        if (pid_ <= 0) return report_;
        ::close(input_);
        drain({{output_, &report_}}, std::chrono::steady_clock::now() + std::chrono::seconds(10));
        ::close(output_);
        EXPECT_EQ(reap(pid_, 10), 0) << "t3xx-devsim on " << port_;
        pid_ = -1;
        return report_;
    }

    // The simulated flash after finish().
    Bytes flash() { return readFile(flashFile_); }

private:
    static int& count() {
        static int n = 0;
        return n;
    }

    std::string flashFile_;
    std::string port_;
    std::string report_;
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

struct FlashRun {
    int status = -1;
    std::string out;
    std::string err;
    double seconds = 0;
};

// Runs t3xx-flash with the arguments to its end. Its standard output is a
// pipe, or a pseudo-terminal with onTerminal.
inline FlashRun runFlash(std::vector<std::string> args, bool onTerminal = false) {
    args.insert(args.begin(), T3XX_FLASH_PROGRAM);
    int out[2], err[2];
    if (onTerminal) {
        out[0] = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_GE(out[0], 0);
        ::grantpt(out[0]);
        ::unlockpt(out[0]);
        out[1] = ::open(::ptsname(out[0]), O_RDWR | O_NOCTTY | O_CLOEXEC);
    } else {
        EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
    }
    EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = spawn(args, &actions);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);

    FlashRun run;
    drain({{out[0], &run.out}, {err[0], &run.err}}, start + std::chrono::seconds(180));
    ::close(out[0]);
    ::close(err[0]);
    run.status = reap(pid, 10);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

// The JSON object of the port from t3xx-flash --json (one object a line).
inline std::string jsonOf(const std::string& json, const std::string& port) {
    const std::string key = "{\"port\": \"" + port + "\"";
    const std::size_t at = json.find(key);
    if (at == std::string::npos) return std::string();
    return json.substr(at, json.find('\n', at) - at);
}

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace vek::flash::test
