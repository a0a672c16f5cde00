#pragma once

#include <FL/Fl_RGB_Image.H>

// The program's own artwork: 16 x 16 RGBA button images and the window icon.
// The pixel data is constant data of the program; the images do not own it.
extern Fl_RGB_Image clearIcon;       // a broom, on the log's "clear" button
extern Fl_RGB_Image connectIcon;     // a green plug in its socket
extern Fl_RGB_Image disconnectIcon;  // a red plug pulled out of its socket
extern Fl_RGB_Image windowIcon;      // 32 x 32, a handheld gas detector
