#include "gui_test_support.h"

#include "app/autoscrolling_text_display.h"
#include "app/debug_window.h"
#include "app/main_window.h"
#include "app/warning_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/x.H>

#include <cstdlib>

void WindowsTest::SetUp()
{
    fl_open_display();
    buildMainWindow();
    buildDebugWindow();
    buildWarningWindow();
    fillWarningText();
}

void WindowsTest::TearDown()
{
    destroyWarningWindow();
    destroyDebugWindow();
    destroyMainWindow();
    Fl::check();
}

void WindowsTest::showAndSettle(Fl_Window* window)
{
    window->show();
    for (int i = 0; i < 20 && !window->shown(); ++i) Fl::wait(0.05);
    Fl::check();
}

std::string logText()
{
    char* text = logDisplay->buffer()->text();
    std::string copy = text;
    std::free(text);
    return copy;
}

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TempFolder::TempFolder()
{
    std::string pattern = (fs::temp_directory_path() / "t3xx-gui-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

namespace {

void writeFile(const fs::path& file, const std::string& text)
{
    std::ofstream(file) << text << "\n";
}

}  // namespace

FakeSerialPorts::FakeSerialPorts() : root_(folder_.path())
{
    fs::create_directories(ttyClassRoot());
    fs::create_directories(deviceRoot());
}

void FakeSerialPorts::add(const std::string& tty, const std::string& usbProduct)
{
    fs::path device = fs::path(root_) / "devices" / "platform" / tty;
    if (!usbProduct.empty()) {
        const fs::path usb = fs::path(root_) / "devices" / ("usb-" + tty);
        fs::create_directories(usb);
        writeFile(usb / "idVendor", "0403");
        writeFile(usb / "idProduct", "6001");
        writeFile(usb / "manufacturer", "FTDI");
        writeFile(usb / "product", usbProduct);
        device = usb / "1-1:1.0" / tty;
    }
    fs::create_directories(device);
    fs::create_directories(fs::path(ttyClassRoot()) / tty);
    fs::create_symlink(device, fs::path(ttyClassRoot()) / tty / "device");
    writeFile(devicePath(tty), "");
}

void FakeSerialPorts::remove(const std::string& tty)
{
    fs::remove_all(fs::path(ttyClassRoot()) / tty);
    fs::remove(devicePath(tty));
}

PseudoTerminal::PseudoTerminal()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("cannot make a pseudo-terminal");
    termios raw{};
    tcgetattr(master_, &raw);
    cfmakeraw(&raw);
    tcsetattr(master_, TCSANOW, &raw);
    path_ = ptsname(master_);
}

PseudoTerminal::~PseudoTerminal()
{
    if (master_ >= 0) close(master_);
}
