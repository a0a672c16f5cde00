#pragma once

class Fl_Menu_;

// Appends an item whose text is taken literally: Fl_Menu_::add would read a
// '/' as a submenu path (every "/dev/tty..." port name) and a leading '_'
// as a divider. Returns the item's index.
int addLiteralItem(Fl_Menu_* menu, const char* text);
