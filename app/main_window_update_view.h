#pragma once

// The update session's view in the main window: log lines go to the log
// pane, steps switch the step indicator boxes, progress goes to the bar, and
// the firmware index comes from the model's choice list.

#include <functional>

#include "update/update_view.h"

class MainWindowUpdateView : public vek::UpdateView {
public:
    // FLTK colour indices of the progress bar.
    static constexpr unsigned kProgressColour = 63;  // pure green
    static constexpr unsigned kFailedColour = 88;    // pure red

    void appendLog(const char* text) override;
    void showStep(unsigned step) override;
    void showProgress(int page, int count, const char* label, int percent) override;
    void showProgressFailed() override;
    void alert(const char* text) override;
    void yield() override;
    int firmwareIndex(int model) override;

    // Replaces the alert box (tests record alerts instead of blocking on
    // a modal box); empty restores it.
    void setAlert(std::function<void(const char*)> alert) { alert_ = std::move(alert); }

private:
    std::function<void(const char*)> alert_;
    // The bar keeps a pointer to its label, so the text lives here.
    char progressLabel_[24] = "";
};
