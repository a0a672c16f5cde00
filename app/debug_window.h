#pragma once

#include <functional>

// The "Error tests" window with device requests for debugging. It is built
// at start-up but the main window keeps its button hidden.

class Fl_Double_Window;
class Fl_Widget;

extern Fl_Double_Window* debugWindow;

// What the debug buttons do. Each is empty until the device dialogue is
// connected; an empty action does nothing.
struct DebugActions {
    // Pings with variant 0 (application) or 1 (bootloader); answers 1 for a
    // device in application mode, 2 in bootloader mode, 0 on error.
    std::function<int(int variant)> ping;
    std::function<void()> enterBootloader;
    std::function<void()> restartDevice;
    std::function<void()> showResourceInfo;
};
extern DebugActions debugActions;

// Creates the debug window (not shown) and sets debugWindow.
Fl_Double_Window* buildDebugWindow();
void destroyDebugWindow();

// Writes the result of a ping to the log: "Ping: %d" and what it means.
void logPingReport(int result);
