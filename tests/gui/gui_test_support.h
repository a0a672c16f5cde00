#pragma once

#include <gtest/gtest.h>

#include <string>

// Builds the three windows as start-up does (nothing shown) and deletes them
// again after each test, so every test starts from fresh widgets.
class WindowsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Shows a window and lets FLTK map and draw it.
    static void showAndSettle(class Fl_Window* window);
};

// The whole text of the log pane.
std::string logText();

// A fresh temporary folder, removed with its contents at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A temporary tty class folder and device folder with made-up serial ports,
// for SerialPortList(ttyClassRoot, deviceRoot).
class FakeSerialPorts {
public:
    FakeSerialPorts();
    // Adds a port; with a product it hangs below a USB device of that name.
    void add(const std::string& tty, const std::string& usbProduct = "");
    void remove(const std::string& tty);
    std::string ttyClassRoot() const { return root_ + "/class/tty"; }
    std::string deviceRoot() const { return root_ + "/dev"; }
    std::string devicePath(const std::string& tty) const { return deviceRoot() + "/" + tty; }

private:
    TempFolder folder_;
    std::string root_;
};

// A pseudo-terminal standing in for a serial port: the master side is kept
// open (raw) for the test's lifetime; path() is the side to open.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    const std::string& path() const { return path_; }

private:
    int master_ = -1;
    std::string path_;
};
