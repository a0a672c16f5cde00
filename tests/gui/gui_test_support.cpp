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
