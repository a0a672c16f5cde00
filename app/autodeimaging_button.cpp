#include "app/autodeimaging_button.h"

#include <FL/Enumerations.H>

Fl_Autodeimaging_Button::Fl_Autodeimaging_Button(int x, int y, int w, int h, const char* label)
    : Fl_Button(x, y, w, h, label)
{
}

Fl_Autodeimaging_Button::~Fl_Autodeimaging_Button()
{
    deimage(nullptr);
    delete inactiveImage_;
}

void Fl_Autodeimaging_Button::set_image(Fl_Image* img)
{
    image(img);
    deimage(nullptr);
    delete inactiveImage_;
    inactiveImage_ = nullptr;
    if (img == nullptr) return;
    inactiveImage_ = img->copy(img->w(), img->h());
    inactiveImage_->color_average(FL_BACKGROUND_COLOR, 0.33f);
    deimage(inactiveImage_);
}
