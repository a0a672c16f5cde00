#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Image.H>

// An image button that makes its own faded copy of the label image, shown
// by FLTK while the button is deactivated.
class Fl_Autodeimaging_Button : public Fl_Button {
public:
    Fl_Autodeimaging_Button(int x, int y, int w, int h, const char* label = nullptr);
    ~Fl_Autodeimaging_Button() override;

    Fl_Autodeimaging_Button(const Fl_Autodeimaging_Button&) = delete;
    Fl_Autodeimaging_Button& operator=(const Fl_Autodeimaging_Button&) = delete;

    // Sets the label image (still owned by the caller) and replaces the
    // button's own faded copy of it.
    void set_image(Fl_Image* img);

private:
    Fl_Image* inactiveImage_ = nullptr;
};
