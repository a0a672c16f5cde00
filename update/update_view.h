#pragma once

// Where an update session's effects show: the log, the step indicator, the
// progress bar, alerts, and the firmware the user chose.
//
// The session formats every text itself; a view only puts it somewhere. The
// main window implements this for the GUI, the command-line tool for a
// terminal, and the tests with a recorder, so all of them run the same
// update code.

namespace vek {

class UpdateView {
public:
    virtual ~UpdateView() = default;

    // Appends text to the log. The text is already formatted and ends its
    // lines with '\n'; the view adds nothing.
    virtual void appendLog(const char* text) = 0;

    // Switches the step indicator: 0 idle, 1 connecting, 2 starting the
    // bootloader, 3 transmitting, 4 restarting. Other values change nothing.
    // Step 0 and 4 make a new run possible again, 1 prevents it.
    virtual void showStep(unsigned step) = 0;

    // Page `page` (counted from 0) of `count` is about to be sent. label is
    // the text to show on the bar ("001/496"); the view must copy it if it
    // keeps it. percent is the bar's value, 0 for the first page and 100 for
    // the last. Showing progress also clears an earlier failure mark.
    virtual void showProgress(int page, int count, const char* label, int percent) = 0;

    // The transmission was aborted: the bar shows a failure.
    virtual void showProgressFailed() = 0;

    // A problem the user must notice even without reading the log.
    virtual void alert(const char* text) = 0;

    // Called once per page between requests, so a GUI can redraw and handle
    // events. Whatever runs here may close the channel; the next request
    // then fails with "No connection".
    virtual void yield() {}

    // The index of the firmware chosen for model 310 or 320, counted from 0;
    // -1 when nothing is chosen.
    virtual int firmwareIndex(int model) = 0;
};

}  // namespace vek
