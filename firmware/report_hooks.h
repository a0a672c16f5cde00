#pragma once

// How the firmware code reports to the user without knowing the GUI: the
// program connects these to its log pane and its alert box, a test to
// recorders. An empty hook drops what it is given (no log pane yet).

#include <functional>

struct FirmwareReportHooks {
    // One log line, ending in "\n".
    std::function<void(const char* line)> logLine;
    // A text for the alert box.
    std::function<void(const char* text)> alert;
};
