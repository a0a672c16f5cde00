#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "frames.h"
#include "raw_port.h"

extern char** environ;

namespace vek::devsim {
namespace {

using namespace test;

// t3xx-devsim as a child process with its standard input and output on pipes.
class DevsimProcess {
public:
    explicit DevsimProcess(std::vector<std::string> args) {
        args.insert(args.begin(), T3XX_DEVSIM_PROGRAM);
        int in[2], out[2];
        EXPECT_EQ(::pipe2(in, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
    }

    ~DevsimProcess() {
        closeInput();
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(stdout_);
    }

    // The first line: what to open.
    std::string firstLine() {
        std::string line;
        char c;
        while (readByte(c, 5000) && c != '\n') line += c;
        return line;
    }

    void closeInput() {
        if (stdin_ >= 0) ::close(stdin_);
        stdin_ = -1;
    }

    // Waits for the exit and returns everything else it printed.
    std::string finish(int& exitStatus) {
        std::string rest;
        char c;
        while (readByte(c, 5000)) rest += c;
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return rest;
    }

private:
    bool readByte(char& c, int timeoutMs) {
        pollfd pfd{stdout_, POLLIN, 0};
        if (::poll(&pfd, 1, timeoutMs) <= 0) return false;
        return ::read(stdout_, &c, 1) == 1;
    }

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
};

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "devsim_" + std::to_string(::getpid()) + "_" + name;
}

TEST(DevsimProgram, ServesAPseudoTerminalAndReportsWhenInputCloses) {
    const std::string flashFile = tempPath("flash.bin");
    DevsimProcess sim({"--start-in-bootloader", "--model", "T320", "--flash-out", flashFile});
    const std::string path = sim.firstLine();
    RawPort port;
    ASSERT_TRUE(port.openTty(path)) << "first line: " << path;
    const ByteVector data = pattern(9);
    ASSERT_TRUE(port.send(pageRequest(1007, &data)));
    const auto answer = port.receive();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->flags, 0xA0);

    sim.closeInput();
    int status = -1;
    const std::string report = sim.finish(status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(report.find("\"model\": \"T320\""), std::string::npos) << report;
    EXPECT_NE(report.find("\"page_programs\": {\"1007\": 1}"), std::string::npos) << report;
    EXPECT_NE(report.find("\"mode_at_exit\": \"bootloader\""), std::string::npos) << report;

    std::ifstream in(flashFile, std::ios::binary);
    const ByteVector flash{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(flash.size(), 1008u * 256u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.end() - 256));
    std::remove(flashFile.c_str());
}

}  // namespace
}  // namespace vek::devsim
