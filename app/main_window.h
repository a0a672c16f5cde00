#pragma once

// The main window: update controls and firmware choice on the left, the port
// controls and the log on the right. The widget pointers stay valid while
// the window lives; they are null before buildMainWindow.

class Fl_Autodeimaging_Button;
class Fl_Autoscrolling_Text_Display;
class Fl_Box;
class Fl_Button;
class Fl_Choice;
class Fl_Double_Window;
class Fl_Group;
class Fl_Input;
class Fl_Progress;
class Fl_Port_Choice;
class Fl_Widget;

// The log. Null until the main window exists: every writer tests it first.
extern Fl_Autoscrolling_Text_Display* logDisplay;

extern Fl_Double_Window* mainWindow;
extern Fl_Button* startButton;
// The step indicator group, in this order.
extern Fl_Box* stepConnect;
extern Fl_Box* stepBootloader;
extern Fl_Box* stepTransmit;
extern Fl_Progress* progressBar;
extern Fl_Box* stepRestart;
extern Fl_Button* debugButton;
extern Fl_Port_Choice* portChoice;
extern Fl_Autodeimaging_Button* connectButton;
extern Fl_Autodeimaging_Button* disconnectButton;
extern Fl_Group* fileGroup;
extern Fl_Input* fileInput;
extern Fl_Group* firmwareGroup;
extern Fl_Choice* firmwareChoice310;
extern Fl_Choice* firmwareChoice320;

// Creates the main window (not shown) and sets the pointers above.
Fl_Double_Window* buildMainWindow();

// Deletes the main window and clears the pointers above (tests build the
// window many times in one process).
void destroyMainWindow();

// Callbacks of the main window's buttons.
void onShowDebugWindow(Fl_Widget*, void*);
void onClearLog(Fl_Widget*, void*);
void onBrowse(Fl_Widget*, void*);
// "Start update": runs the program's update session (app/update_actions.cpp).
void onStartUpdate(Fl_Widget*, void*);
