#pragma once

// Updates the detectors on several ports at the same time: one thread per
// port, each with its own serial port, channel, protocol handler, view and
// update session. The threads share only the prepared firmware (read-only)
// and the console (locked).

#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/exit_status.h"
#include "cli/firmware_choice.h"
#include "update/update_result.h"

namespace vek::flash {

struct DetectorReport {
    std::string port;
    UpdateResult result;
    // What was sent or meant to be sent: the prepared image's source for
    // the detected model; empty while the model is unknown.
    std::string firmware;
    ExitStatus status = kNoCommunication;
};

// The line settings of the detectors' serial interface.
inline constexpr char kDetectorLineSettings[] = "38400,n,8,1";

// Runs one update per port and returns the reports in the order of ports.
std::vector<DetectorReport> updateDetectors(const std::vector<std::string>& ports, const FirmwareChoice& choice,
                                            Console& console);

// One detector's result for people: "Result: updated - Device updated and
// restarted (496 pages, 12.3 s)".
std::string resultLine(const DetectorReport& report);
// One detector's result for the service log: every field as key=value.
std::string resultRecord(const DetectorReport& report);
// The reports as a JSON array, one object per detector.
std::string resultsJson(const std::vector<DetectorReport>& reports);

}  // namespace vek::flash
