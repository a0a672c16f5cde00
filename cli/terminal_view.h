#pragma once

// An update session's view on a terminal: the session's log lines go to the
// console as they are, the steps and the page progress become the
// detector's live progress line.

#include <chrono>
#include <string>

#include "cli/console.h"
#include "cli/firmware_choice.h"
#include "update/update_view.h"

namespace vek::flash {

class TerminalView : public UpdateView {
public:
    // detector: this view's index in the console. choice supplies the
    // firmware index the session asks for.
    TerminalView(Console& console, int detector, const FirmwareChoice& choice);

    // The session this view shows; read for the model and page size.
    void attach(const UpdateSession& session) { session_ = &session; }
    // A line of the tool's own in this detector's log.
    void note(const std::string& line);
    // The final progress line.
    void showDone(const std::string& text);

    void appendLog(const char* text) override;
    void showStep(unsigned step) override;
    void showProgress(int page, int count, const char* label, int percent) override;
    void showProgressFailed() override;
    // The session writes every alert's text to the log just before; a
    // terminal has nothing to add.
    void alert(const char*) override {}
    int firmwareIndex(int model) override;

private:
    Console& console_;
    int detector_;
    const FirmwareChoice& choice_;
    const UpdateSession* session_ = nullptr;
    std::string partialLine_;
    bool transmitting_ = false;
    std::chrono::steady_clock::time_point transmitStart_{};
    std::string lastProgress_;
};

// "page 123/496  24%  6.1 kB/s  0:41 left": the progress line of a
// transmission that has sent `page` pages of pageSize bytes in `seconds`.
std::string progressText(const char* label, int percent, int page, int count, int pageSize, double seconds);

}  // namespace vek::flash
