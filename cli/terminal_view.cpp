#include "cli/terminal_view.h"

#include <cstdio>

#include "update/update_session.h"

namespace vek::flash {

std::string progressText(const char* label, int percent, int page, int count, int pageSize, double seconds) {
    char text[128];
    int length = std::snprintf(text, sizeof text, "page %s %3d%%", label, percent);
    // The rate of the first pages says little; wait for half a second.
    if (page > 0 && seconds >= 0.5 && pageSize > 0) {
        const double rate = page * static_cast<double>(pageSize) / seconds;
        const int left = static_cast<int>((count - page) * static_cast<double>(pageSize) / rate + 0.5);
        std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "  %.1f kB/s  %d:%02d left",
                      rate / 1000.0, left / 60, left % 60);
    }
    return text;
}

TerminalView::TerminalView(Console& console, int detector, const FirmwareChoice& choice)
    : console_(console), detector_(detector), choice_(choice) {}

void TerminalView::note(const std::string& line) { console_.logLine(detector_, line); }

void TerminalView::showDone(const std::string& text) { console_.status(detector_, text, true); }

void TerminalView::appendLog(const char* text) {
    partialLine_ += text;
    std::size_t end;
    while ((end = partialLine_.find('\n')) != std::string::npos) {
        console_.logLine(detector_, partialLine_.substr(0, end));
        partialLine_.erase(0, end + 1);
    }
}

void TerminalView::showStep(unsigned step) {
    switch (step) {
        case 1:
            transmitting_ = false;
            console_.status(detector_, "connecting", true);
            break;
        case 2: console_.status(detector_, "starting the bootloader", true); break;
        case 3: console_.status(detector_, "transmitting", true); break;
        case 4:
            console_.status(detector_, lastProgress_.empty() ? "restarting" : lastProgress_ + "  restarting", true);
            break;
        default: break;
    }
}

void TerminalView::showProgress(int page, int count, const char* label, int percent) {
    const auto now = std::chrono::steady_clock::now();
    if (!transmitting_) {
        transmitting_ = true;
        transmitStart_ = now;
    }
    const double seconds = std::chrono::duration<double>(now - transmitStart_).count();
    const int pageSize = session_ != nullptr ? session_->pageSize() : 0;
    const int model = session_ != nullptr ? session_->result().model : 0;
    lastProgress_ = (model != 0 ? "T" + std::to_string(model) + "  " : std::string()) +
                    progressText(label, percent, page, count, pageSize, seconds);
    console_.status(detector_, lastProgress_, page + 1 == count);
}

void TerminalView::showProgressFailed() {
    lastProgress_ += "  FAILED";
    console_.status(detector_, lastProgress_, true);
}

int TerminalView::firmwareIndex(int model) { return choice_.forModel(model).index; }

}  // namespace vek::flash
