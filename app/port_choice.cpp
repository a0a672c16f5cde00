#include "app/port_choice.h"

#include <FL/Fl.H>

Fl_Port_Choice::Fl_Port_Choice(int x, int y, int w, int h, const char* label) : Fl_Choice(x, y, w, h, label)
{
}

namespace {

// The events on which Fl_Choice pops its menu up.
bool opensMenu(int event)
{
    switch (event) {
    case FL_PUSH:
        return true;
    case FL_KEYBOARD:
        return Fl::event_key() == ' ';
    default:
        return false;
    }
}

}  // namespace

int Fl_Port_Choice::handle(int event)
{
    if (beforePopup_ && active_r() && opensMenu(event)) beforePopup_();
    return Fl_Choice::handle(event);
}
