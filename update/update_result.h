#pragma once

// What one update run achieved, for callers that act on it (the
// command-line tool's exit code and summary, the tests). It is recorded
// alongside the log and never changes what the log says.

#include <cstdint>
#include <string>

namespace vek {

enum class UpdateOutcome {
    // Every page passed its block test and the device answered the restart.
    Updated,
    // Every page passed its block test, but the restart request went
    // unanswered: the new firmware is in place, the device may still sit in
    // its bootloader.
    UpdatedRestartUnconfirmed,
    // The port could not be opened, or the device answered no ping.
    NoCommunication,
    // The device answered as its application but did not start its
    // bootloader (or behaved in no known way).
    BootloaderNotStarted,
    // Identification failed or reported a version of 1.03 or older.
    BootloaderNotRecognized,
    // Page size or page count of no known model.
    DeviceNotSupported,
    // No firmware chosen, the image could not be read, or its size does not
    // fit the device.
    FirmwareInvalid,
    // A page failed its block test three times in a row.
    TransmissionAborted,
};

// A short stable name for scripts: "updated", "no-communication", ...
const char* outcomeName(UpdateOutcome outcome);

struct UpdateResult {
    UpdateOutcome outcome = UpdateOutcome::NoCommunication;
    // Why the run ended as it did, in one line (no trailing newline).
    std::string message;
    // 310 or 320 once the model was recognised, else 0.
    int model = 0;
    // Hundredths (104 = 1.04); 0 when not identified.
    std::uint16_t bootloaderVersion = 0;
    std::uint16_t pageCount = 0;
    // Pages whose block test passed, and how many of them went without their
    // data part (a zero page after a zero page).
    int pagesSent = 0;
    int pagesSentWithoutData = 0;
    // Page attempts that failed and were sent again.
    int repeats = 0;
    // The bootloader was reached, so a restart request was due.
    bool bootloaderReached = false;
    // The device answered the restart request.
    bool restarted = false;
    double seconds = 0.0;

    bool fullyUpdated() const { return outcome == UpdateOutcome::Updated; }
};

}  // namespace vek
