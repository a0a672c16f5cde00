#pragma once

// A program started by the benchmark with pipes on its standard input and
// output, and the resources it used once it has ended.

#include <string>
#include <vector>

namespace bench {

// Seconds of processor time (user + system) and the peak resident set.
struct Usage {
    double cpuSeconds = 0.0;
    long peakResidentKiB = 0;
};

// This process's usage so far.
Usage selfUsage();

class ChildProcess {
public:
    // Starts program with the arguments; throws std::runtime_error when it
    // cannot be started.
    explicit ChildProcess(const std::vector<std::string>& command);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // One line of its standard output without the '\n'; throws when none
    // comes within the milliseconds.
    std::string readLine(int timeoutMs);
    // Closes its standard input (a simulator takes that as "stop"), reads
    // the rest of its standard output and waits for it to end.
    std::string finish();
    int exitStatus() const { return status_; }
    // Its own usage, valid after finish().
    const Usage& usage() const { return usage_; }

private:
    int pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string buffered_;
    int status_ = -1;
    Usage usage_;
};

}  // namespace bench
