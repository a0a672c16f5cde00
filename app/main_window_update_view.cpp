#include "app/main_window_update_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Progress.H>
#include <FL/fl_ask.H>

#include <cstdio>

#include "app/autoscrolling_text_display.h"
#include "app/main_window.h"

namespace {

void setActive(Fl_Widget* widget, bool active)
{
    if (widget == nullptr) return;
    if (active) {
        widget->activate();
    } else {
        widget->deactivate();
    }
}

}  // namespace

void MainWindowUpdateView::appendLog(const char* text)
{
    if (logDisplay != nullptr) logDisplay->printf("%s", text);
}

void MainWindowUpdateView::showStep(unsigned step)
{
    switch (step) {
        case 0:
            setActive(stepConnect, false);
            setActive(stepBootloader, false);
            setActive(stepTransmit, false);
            setActive(progressBar, false);
            setActive(stepRestart, false);
            setActive(startButton, true);
            break;
        case 1:
            setActive(stepConnect, true);
            setActive(startButton, false);
            break;
        case 2: setActive(stepBootloader, true); break;
        case 3: setActive(stepTransmit, true); break;
        case 4:
            setActive(stepConnect, false);
            setActive(stepBootloader, false);
            setActive(stepTransmit, false);
            setActive(progressBar, false);
            setActive(stepRestart, true);
            setActive(startButton, true);
            break;
        default: return;
    }
    // The requests that follow block the event loop for up to seconds; draw
    // the new step now so the user sees what the program is waiting for.
    // Drawing only: no callback can run here.
    Fl::flush();
}

void MainWindowUpdateView::showProgress(int, int, const char* label, int percent)
{
    if (progressBar == nullptr) return;
    std::snprintf(progressLabel_, sizeof progressLabel_, "%s", label);
    progressBar->selection_color(static_cast<Fl_Color>(kProgressColour));
    progressBar->activate();
    progressBar->label(progressLabel_);
    progressBar->value(static_cast<float>(percent));
    progressBar->redraw();
}

void MainWindowUpdateView::showProgressFailed()
{
    if (progressBar == nullptr) return;
    progressBar->selection_color(static_cast<Fl_Color>(kFailedColour));
    progressBar->redraw();
}

void MainWindowUpdateView::alert(const char* text)
{
    if (alert_) {
        alert_(text);
    } else {
        fl_alert("%s", text);
    }
}

void MainWindowUpdateView::yield()
{
    Fl::check();
}

int MainWindowUpdateView::firmwareIndex(int model)
{
    Fl_Choice* choice = model == 310 ? firmwareChoice310 : model == 320 ? firmwareChoice320 : nullptr;
    return choice != nullptr ? choice->value() : -1;
}
