#pragma once

// Where the detectors' log lines and progress go: the terminal or a pipe,
// and the service log file. Each detector's session runs on its own thread;
// this is the one object they share, and every operation takes its lock.
//
// On a terminal the console keeps one live progress line per detector at
// the bottom and prints the log lines above them; on a pipe it prints the
// log lines only.

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace vek::flash {

class Console {
public:
    struct Options {
        std::FILE* stream = stdout;  // the human-readable output
        bool live = false;           // a terminal: keep the progress lines
        bool quiet = false;          // neither log nor progress lines
        bool prefixPorts = false;    // several detectors: each line starts with its port
        int width = 80;              // terminal columns, for the progress lines
    };

    // ports: one name per detector, in the order of their indices.
    Console(Options options, std::vector<std::string> ports);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Appends to the service log from now on; false with the reason when
    // the file cannot be opened.
    bool openLogFile(const std::string& path, std::string& reason);

    // One log line of a detector, without its '\n'.
    void logLine(int detector, const std::string& line);
    // A line of the program's own (not of one detector), without its '\n'.
    void programLine(const std::string& line);
    // Replaces a detector's progress line. Redraws at most ten times a
    // second unless forced.
    void status(int detector, const std::string& text, bool force);
    // A line for the service log only (e.g. a detector's result record).
    void recordLine(int detector, const std::string& line);
    // Draws the final progress lines; later output goes below them.
    void finish();
    // Why a line could not be written to the service log (the first such
    // failure), empty while every line went in.
    std::string logFileError();

    // Whether a stream is a terminal that understands cursor movement, and
    // its width in columns (80 when unknown).
    static bool isLiveTerminal(std::FILE* stream);
    static int terminalWidth(std::FILE* stream);

private:
    std::string prefixed(int detector, const std::string& line) const;
    std::string eraseBlock();
    std::string drawBlock();
    void writeLocked(const std::string& text);
    void logFileLocked(const std::string& who, const std::string& line);

    Options options_;
    std::vector<std::string> ports_;
    std::vector<std::string> statuses_;
    std::size_t portWidth_ = 0;
    int drawnLines_ = 0;
    bool finished_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
    std::FILE* logFile_ = nullptr;
    std::string logFileError_;
    std::mutex lock_;
};

// Local time as "2024-05-06 14:03:12.345".
std::string timestampNow();

}  // namespace vek::flash
