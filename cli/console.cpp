#include "cli/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace vek::flash {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

std::string timestampNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const long millis = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + length, sizeof text - length, ".%03ld", millis);
    return text;
}

bool Console::isLiveTerminal(std::FILE* stream) {
    if (::isatty(::fileno(stream)) == 0) return false;
    const char* term = std::getenv("TERM");
    return term == nullptr || std::strcmp(term, "dumb") != 0;
}

int Console::terminalWidth(std::FILE* stream) {
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

Console::Console(Options options, std::vector<std::string> ports)
    : options_(options), ports_(std::move(ports)), statuses_(ports_.size(), "waiting") {
    for (const std::string& port : ports_) portWidth_ = std::max(portWidth_, port.size());
}

Console::~Console() {
    if (logFile_ != nullptr) std::fclose(logFile_);
}

bool Console::openLogFile(const std::string& path, std::string& reason) {
    std::lock_guard<std::mutex> guard(lock_);
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (file == nullptr) {
        reason = std::strerror(errno);
        return false;
    }
    if (logFile_ != nullptr) std::fclose(logFile_);
    logFile_ = file;
    return true;
}

std::string Console::prefixed(int detector, const std::string& line) const {
    if (!options_.prefixPorts || detector < 0) return line;
    return ports_[static_cast<std::size_t>(detector)] + ": " + line;
}

void Console::logLine(int detector, const std::string& line) {
    std::lock_guard<std::mutex> guard(lock_);
    logFileLocked(ports_[static_cast<std::size_t>(detector)], line);
    if (options_.quiet) return;
    writeLocked(prefixed(detector, line) + "\n");
}

void Console::programLine(const std::string& line) {
    std::lock_guard<std::mutex> guard(lock_);
    logFileLocked("t3xx-flash", line);
    if (options_.quiet) return;
    writeLocked(line + "\n");
}

void Console::recordLine(int detector, const std::string& line) {
    std::lock_guard<std::mutex> guard(lock_);
    logFileLocked(ports_[static_cast<std::size_t>(detector)], line);
}

void Console::status(int detector, const std::string& text, bool force) {
    std::lock_guard<std::mutex> guard(lock_);
    statuses_[static_cast<std::size_t>(detector)] = text;
    if (!options_.live || options_.quiet || finished_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && drawnLines_ > 0 && now - lastDraw_ < kRedrawInterval) return;
    writeLocked(std::string());
}

void Console::finish() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!options_.live || options_.quiet || finished_) return;
    writeLocked(std::string());
    finished_ = true;
    drawnLines_ = 0;
}

std::string Console::eraseBlock() {
    if (drawnLines_ == 0) return std::string();
    // To the start of the first progress line, then clear to the end of
    // the screen.
    return "\x1b[" + std::to_string(drawnLines_) + "F\x1b[J";
}

std::string Console::drawBlock() {
    std::string block;
    const std::size_t width = static_cast<std::size_t>(std::max(options_.width - 1, 20));
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        std::string line = ports_[i];
        line.resize(portWidth_, ' ');
        line += "  " + statuses_[i];
        // A line wider than the terminal would wrap and break the count of
        // lines to move up.
        if (line.size() > width) line.resize(width);
        block += line + "\n";
    }
    drawnLines_ = static_cast<int>(ports_.size());
    lastDraw_ = std::chrono::steady_clock::now();
    return block;
}

// Writes text; on a live terminal above freshly drawn progress lines.
void Console::writeLocked(const std::string& text) {
    std::string out;
    if (options_.live && !finished_) {
        out = eraseBlock() + text + drawBlock();
    } else {
        out = text;
    }
    std::fwrite(out.data(), 1, out.size(), options_.stream);
    std::fflush(options_.stream);
}

void Console::logFileLocked(const std::string& who, const std::string& line) {
    if (logFile_ == nullptr) return;
    const bool written = std::fprintf(logFile_, "%s %s %s\n", timestampNow().c_str(), who.c_str(), line.c_str()) >= 0;
    // A service record must survive a crash or a pulled plug.
    const bool flushed = std::fflush(logFile_) == 0;
    // A full disk must not leave a record with holes unnoticed.
    if ((!written || !flushed) && logFileError_.empty()) {
        logFileError_ = std::strerror(errno != 0 ? errno : EIO);
    }
}

std::string Console::logFileError() {
    std::lock_guard<std::mutex> guard(lock_);
    return logFileError_;
}

}  // namespace vek::flash
