#pragma once

#include <FL/Fl_Text_Buffer.H>
#include <cstdarg>
#include <FL/Fl_Text_Display.H>

// Holds the text buffer of an Fl_Autoscrolling_Text_Display. It is the first
// base class of the display so that it is destroyed after the
// Fl_Text_Display part: the display unregisters its callbacks from the
// buffer in its own destructor, so the buffer must outlive it.
struct Fl_Text_Buffer_Holder {
    Fl_Text_Buffer_Holder() : ownedBuffer(new Fl_Text_Buffer(0)) {}
    ~Fl_Text_Buffer_Holder() { delete ownedBuffer; }
    Fl_Text_Buffer_Holder(const Fl_Text_Buffer_Holder&) = delete;
    Fl_Text_Buffer_Holder& operator=(const Fl_Text_Buffer_Holder&) = delete;

    Fl_Text_Buffer* ownedBuffer;
};

// The read-only log pane. It owns its text buffer and keeps the end of the
// text in view as long as the user has not scrolled away from it; appended
// text never moves the text cursor.
class Fl_Autoscrolling_Text_Display : private Fl_Text_Buffer_Holder, public Fl_Text_Display {
public:
    Fl_Autoscrolling_Text_Display(int x, int y, int w, int h, const char* label = nullptr);
    ~Fl_Autoscrolling_Text_Display() override;

    // Appends at most 255 formatted characters at the end of the text. No
    // line end is added: callers end their lines with "\n".
    void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Removes the whole text.
    void clear();

private:
    void attach(Fl_Text_Buffer* buffer);
    static void beforeChange(int pos, int inserted, int deleted, int restyled, const char* deletedText,
                             void* self);
    static void afterChange(int pos, int inserted, int deleted, int restyled, const char* deletedText,
                            void* self);

    bool atBottom_ = false;
};

// Formats like printf into at most 255 characters. A cut never splits a
// UTF-8 sequence, so the log never receives half a character.
void formatLogText(char (&out)[256], const char* format, va_list args);
