#pragma once

#include <FL/Fl_Choice.H>

#include <functional>

// The "Port:" choice. It tells its owner just before its menu opens (by
// mouse or keyboard), so that the port list can be refreshed: a USB adapter
// plugged in after start-up then appears without a restart.
class Fl_Port_Choice : public Fl_Choice {
public:
    Fl_Port_Choice(int x, int y, int w, int h, const char* label = nullptr);

    void onBeforePopup(std::function<void()> hook) { beforePopup_ = std::move(hook); }

    int handle(int event) override;

private:
    std::function<void()> beforePopup_;
};
