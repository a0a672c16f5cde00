#pragma once

// The modal notice about the type-examination certificate. The user must
// tick "accept / akzeptieren" before leaving it; leaving it otherwise ends
// the program with exit status 1 and saves nothing.

class Fl_Check_Button;
class Fl_Double_Window;
class Fl_Text_Display;
class Fl_Widget;
class Fl_Window;

extern Fl_Double_Window* warningWindow;
extern Fl_Check_Button* acceptCheck;
extern Fl_Text_Display* warningText;

// Creates the warning window (not shown) and sets the pointers above.
Fl_Double_Window* buildWarningWindow();

// Gives warningText a buffer holding the notice, wrapped at its width.
void fillWarningText();

// Deletes the window and the buffer of its text, clears the pointers.
void destroyWarningWindow();

// "OK": hides the warning; ends the program if the notice was not accepted.
void onWarningOk(Fl_Widget*, void*);

// Installed as Fl::atclose: a window closed with the close control or
// Escape is hidden, except the unaccepted warning, which ends the program.
void onWindowClose(Fl_Window* window, void* data);
