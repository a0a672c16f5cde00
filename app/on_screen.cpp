// FLTK keeps the "not yet exposed" state of a window in its platform record,
// which is visible only to code that asks for FLTK's internals.
#define FL_INTERNALS 1

#include "app/on_screen.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

void waitUntilOnScreen(Fl_Window* window)
{
    for (int i = 0; i < 20; ++i) {
        Fl_X* platformWindow = Fl_X::i(window);
        if (platformWindow == nullptr || !platformWindow->wait_for_expose) break;
        Fl::wait(0.05);
    }
    Fl::check();
}
