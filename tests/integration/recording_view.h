#pragma once

// An update view that records everything a session shows, for tests that
// check the log line by line, the step sequence and the progress labels.

#include <sstream>
#include <string>
#include <vector>

#include "update/update_view.h"

namespace vek::test {

class RecordingView : public UpdateView {
public:
    struct Progress {
        int page;
        int count;
        std::string label;
        int percent;
    };

    void appendLog(const char* text) override { log += text; }
    void showStep(unsigned step) override { steps.push_back(step); }
    void showProgress(int page, int count, const char* label, int percent) override {
        progress.push_back({page, count, label, percent});
        progressFailed = false;
    }
    void showProgressFailed() override { progressFailed = true; }
    void alert(const char* text) override { alerts.emplace_back(text); }
    void yield() override { ++yields; }
    int firmwareIndex(int model) override { return model == 320 ? index320 : index310; }

    // The log split into lines, without their '\n'.
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        std::istringstream in(log);
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }

    std::string log;
    std::vector<unsigned> steps;
    std::vector<Progress> progress;
    bool progressFailed = false;
    std::vector<std::string> alerts;
    int yields = 0;
    int index310 = 0;
    int index320 = 0;
};

}  // namespace vek::test
