#include "app/autoscrolling_text_display.h"

#include <FL/Fl_Scrollbar.H>

#include <cstdarg>
#include <cstdio>

Fl_Autoscrolling_Text_Display::Fl_Autoscrolling_Text_Display(int x, int y, int w, int h, const char* label)
    : Fl_Text_Buffer_Holder(), Fl_Text_Display(x, y, w, h, label)
{
    attach(ownedBuffer);
}

// The buffer itself is deleted by Fl_Text_Buffer_Holder once the
// Fl_Text_Display part has let go of it.
Fl_Autoscrolling_Text_Display::~Fl_Autoscrolling_Text_Display() = default;

// The buffer calls its modify callbacks from the front of its list, and each
// new callback is put at the front. Registering the after-change hook first,
// then letting the display register its own, then the before-change hook,
// yields: before-change, the display's update, after-change.
void Fl_Autoscrolling_Text_Display::attach(Fl_Text_Buffer* buf)
{
    if (buf == nullptr || buf == buffer()) return;
    buf->add_modify_callback(afterChange, this);
    buffer(buf);
    buf->add_modify_callback(beforeChange, this);
}

void Fl_Autoscrolling_Text_Display::beforeChange(int, int, int, int, const char*, void* self)
{
    auto* display = static_cast<Fl_Autoscrolling_Text_Display*>(self);
    Fl_Scrollbar* bar = display->mVScrollBar;
    display->atBottom_ = static_cast<int>(bar->value()) == bar->maximum();
}

void Fl_Autoscrolling_Text_Display::afterChange(int, int, int, int, const char*, void* self)
{
    auto* display = static_cast<Fl_Autoscrolling_Text_Display*>(self);
    if (!display->atBottom_ || display->buffer() == nullptr) return;
    const int cursor = display->insert_position();
    display->insert_position(display->buffer()->length());
    display->show_insert_position();
    // Only the cursor goes back; the view stays at the end.
    display->insert_position(cursor);
}

void formatLogText(char (&out)[256], const char* format, va_list args)
{
    const int full = std::vsnprintf(out, sizeof out, format, args);
    if (full < 0) {
        out[0] = '\0';
        return;
    }
    if (full < static_cast<int>(sizeof out)) return;
    // Cut: drop a trailing, incomplete UTF-8 sequence.
    int end = sizeof out - 1;
    int start = end;
    while (start > 0 && (static_cast<unsigned char>(out[start - 1]) & 0xC0) == 0x80) --start;
    if (start > 0) {
        const auto lead = static_cast<unsigned char>(out[start - 1]);
        const int needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (needed > 1 && end - (start - 1) < needed) out[start - 1] = '\0';
    }
}

void Fl_Autoscrolling_Text_Display::printf(const char* format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    formatLogText(text, format, args);
    va_end(args);
    Fl_Text_Buffer* buf = buffer();
    if (buf != nullptr) buf->insert(buf->length(), text);
}

void Fl_Autoscrolling_Text_Display::clear()
{
    Fl_Text_Buffer* buf = buffer();
    if (buf != nullptr) buf->remove(0, buf->length());
}
