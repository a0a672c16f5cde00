#pragma once

// The exit status of t3xx-flash: one code per way an update can fail, so a
// script can act on the kind of failure without reading the log.

#include <string>
#include <vector>

#include "update/update_result.h"

namespace vek::flash {

enum ExitStatus : int {
    kAllUpdated = 0,
    kNoticeNotAccepted = 1,
    kBadUsage = 2,
    kNoCommunication = 3,
    kBootloaderNotStarted = 4,
    kBootloaderNotRecognized = 5,
    kDeviceNotSupported = 6,
    kFirmwareInvalid = 7,
    kTransmissionAborted = 8,
    kRestartNotConfirmed = 9,
    kMixedFailures = 10,
    kCannotWriteFile = 11,
};

// The status of one detector's update.
ExitStatus exitStatusOf(vek::UpdateOutcome outcome);

// The status of the whole program from those of its detectors: 0 when all
// are 0, the common status when every failed detector failed the same way,
// else kMixedFailures.
ExitStatus combinedExitStatus(const std::vector<ExitStatus>& detectors);

// The table of codes and their meanings, one "  N  meaning" line each, for
// --help.
std::string exitStatusTable();

}  // namespace vek::flash
