#include "cli/exit_status.h"

#include <cstdio>

namespace vek::flash {

namespace {

struct Meaning {
    ExitStatus status;
    const char* text;
};

constexpr Meaning kMeanings[] = {
    {kAllUpdated, "every detector was updated and restarted"},
    {kNoticeNotAccepted, "the type-examination notice was not accepted (--accept-notice); nothing was sent"},
    {kBadUsage, "bad usage: unknown option, bad value, missing --port, ..."},
    {kNoCommunication, "no communication: the port could not be opened (the reason is shown) or the "
                       "detector did not answer"},
    {kBootloaderNotStarted, "the detector's bootloader did not start"},
    {kBootloaderNotRecognized, "the bootloader version was not recognised (1.03 or older, or no identification)"},
    {kDeviceNotSupported, "device not supported (page size or page count of no known model)"},
    {kFirmwareInvalid, "firmware missing or invalid: no such entry, unreadable --hex file, size mismatch"},
    {kTransmissionAborted, "transmission aborted: a page failed its block test three times in a row"},
    {kRestartNotConfirmed, "every page was sent, but the detector did not confirm the restart"},
    {kMixedFailures, "several detectors failed in different ways (--json says which)"},
    {kCannotWriteFile, "an output file (--log, --extract) could not be written"},
};

}  // namespace

ExitStatus exitStatusOf(vek::UpdateOutcome outcome) {
    using vek::UpdateOutcome;
    switch (outcome) {
        case UpdateOutcome::Updated: return kAllUpdated;
        case UpdateOutcome::UpdatedRestartUnconfirmed: return kRestartNotConfirmed;
        case UpdateOutcome::NoCommunication: return kNoCommunication;
        case UpdateOutcome::BootloaderNotStarted: return kBootloaderNotStarted;
        case UpdateOutcome::BootloaderNotRecognized: return kBootloaderNotRecognized;
        case UpdateOutcome::DeviceNotSupported: return kDeviceNotSupported;
        case UpdateOutcome::FirmwareInvalid: return kFirmwareInvalid;
        case UpdateOutcome::TransmissionAborted: return kTransmissionAborted;
    }
    // An outcome this table does not know is no success.
    return kTransmissionAborted;
}

ExitStatus combinedExitStatus(const std::vector<ExitStatus>& detectors) {
    ExitStatus combined = kAllUpdated;
    for (ExitStatus status : detectors) {
        if (status == kAllUpdated) continue;
        if (combined == kAllUpdated) {
            combined = status;
        } else if (combined != status) {
            return kMixedFailures;
        }
    }
    return combined;
}

std::string exitStatusTable() {
    std::string table;
    for (const Meaning& meaning : kMeanings) {
        char line[160];
        std::snprintf(line, sizeof line, "  %2d  %s\n", static_cast<int>(meaning.status), meaning.text);
        table += line;
    }
    return table;
}

}  // namespace vek::flash
