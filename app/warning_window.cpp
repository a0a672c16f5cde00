#include "app/warning_window.h"

#include "update/type_examination_notice.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>

#include <cstdlib>

Fl_Double_Window* warningWindow = nullptr;
Fl_Check_Button* acceptCheck = nullptr;
Fl_Text_Display* warningText = nullptr;

namespace {

bool accepted()
{
    return acceptCheck != nullptr && acceptCheck->value() != 0;
}

// Leaving the warning unaccepted ends the program at once: the port
// preference is not saved.
[[noreturn]] void refuse()
{
    std::exit(1);
}

}  // namespace

void onWarningOk(Fl_Widget*, void*)
{
    warningWindow->hide();
    if (!accepted()) refuse();
}

void onWindowClose(Fl_Window* window, void*)
{
    if (window == warningWindow && !accepted()) refuse();
    window->hide();
}

Fl_Double_Window* buildWarningWindow()
{
    auto* w = warningWindow = new Fl_Double_Window(510, 214, "Warning / Warnung");
    {
        acceptCheck = new Fl_Check_Button(80, 180, 155, 25, "accept / akzeptieren");
        acceptCheck->down_box(FL_DOWN_BOX);
    }
    {
        auto* ok = new Fl_Button(255, 180, 160, 25, "OK");
        ok->callback(onWarningOk);
    }
    warningText = new Fl_Text_Display(25, 15, 465, 155);
    w->set_modal();
    w->end();
    return w;
}

void fillWarningText()
{
    auto* buffer = new Fl_Text_Buffer(0);
    warningText->buffer(buffer);
    buffer->append(vek::kTypeExaminationNotice);
    // Wrapped at the display's width rather than at a column: with the
    // fonts of a Linux desktop 65 columns are wider than the display, and
    // the ends of the lines would hide behind a horizontal scroll bar.
    warningText->wrap_mode(Fl_Text_Display::WRAP_AT_BOUNDS, 0);
}

void destroyWarningWindow()
{
    if (warningWindow == nullptr) return;
    Fl_Text_Buffer* buffer = warningText->buffer();
    delete warningWindow;
    delete buffer;
    warningWindow = nullptr;
    acceptCheck = nullptr;
    warningText = nullptr;
}
