#pragma once

class Fl_Window;

// Lets the event loop run until a window just shown is on the screen, so
// that its position is the one the window system chose (which may differ
// from the one asked for). Gives up after about a second, or when the
// window is hidden meanwhile.
void waitUntilOnScreen(Fl_Window* window);
