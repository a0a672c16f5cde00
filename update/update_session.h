#pragma once

// One update session: the dialogue with the detector and its bootloader, and
// the run that transmits the application page by page.
//
// All state of a session lives in this object, so the GUI, the command-line
// tool and the tests can each run their own sessions (several at once on
// different ports, as long as each has its own channel and handler). The
// session touches the outside world only through its channel, its protocol
// handler, its view and its image source. Every log text is written here.
//
// The operations block the calling thread while a request waits for its
// answer; only the page loop yields to the view once per page.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "protocol/protocol_handler.h"
#include "update/update_result.h"
#include "update/update_view.h"

namespace vek {

class Channel;

// The bytes of the image chosen for a model (310, 320) and list index, or
// null when there is none (nothing chosen, resource missing or unreadable).
// The session reports a missing image itself, so a source stays silent.
// The image is shared read-only: sessions running in parallel may be handed
// the same prepared image.
using ImageBytes = std::shared_ptr<const std::vector<std::uint8_t>>;
using ImageSource = std::function<ImageBytes(int model, int index)>;

class UpdateSession {
public:
    // Results of ensureBootloader.
    enum BootloaderState {
        InBootloader = 0,
        NoCommunicationState = 1,
        UnknownBehaviour = 2,
        BootloaderDidNotStart = 3,
    };
    // Results of ping.
    enum PingResult { NoAnswer = 0, ApplicationAnswered = 1, BootloaderAnswered = 2 };
    // Results of transmitApplication.
    enum { TransmitDone = 0, PageSizeNotSupported = 10, PageCountNotSupported = 11 };
    // Results of sendImage.
    enum { ImageSent = 0, ImageSizeMismatch = -1, ImageAborted = 2 };

    static constexpr int kSupportedPageSize = 256;
    static constexpr int kT310PageCount = 496;
    static constexpr int kT320PageCount = 1008;
    // An image may carry this much beyond the device's page area; the
    // surplus is never sent.
    static constexpr int kImageSurplus = 4096;
    // A page is attempted at most this often in a row.
    static constexpr int kMaxPageAttempts = 3;
    // After a page request timed out, the line must stay quiet this long
    // before the page is sent again.
    static constexpr float kLateAnswerSeconds = 2.0f;
    // Bootloaders up to 1.03 are refused.
    static constexpr std::uint16_t kLastUnsupportedVersion = 103;

    UpdateSession(Channel& channel, VekProtocolHandler& handler, UpdateView& view,
                  ImageSource images);
    UpdateSession(const UpdateSession&) = delete;
    UpdateSession& operator=(const UpdateSession&) = delete;

    // Explains, from the channel's result code, why it could not be opened
    // (for a serial port: in use, permission, no such device). Without it
    // the log names the port and the code.
    void setOpenFailureReason(std::function<std::string(int code)> reason);

    // The whole update: connect, bootloader, identification, model,
    // transmission, restart. portName is used only when the channel is not
    // open yet (null: no port chosen). The restart request is sent whenever
    // the bootloader was reached. A run started while one is in progress
    // (from a callback during the page loop's yield) does nothing.
    UpdateResult startUpdate(const char* portName);

    // --- the device dialogue ---
    // variant 0 pings the application (type 3), 1 the bootloader (type 4).
    int ping(int variant);
    int ensureBootloader();
    void enterBootloader();
    // Identifies the bootloader; returns its version, 0 on failure.
    std::uint16_t detectBootloader();
    // Returns true when the device answered the restart request.
    bool restartDevice();
    void showStep(unsigned step);
    // Writes the exception being handled to the log; only call it from a
    // catch block. Exceptions not derived from std::exception propagate.
    void reportCurrentError();

    // --- the update run, step by step ---
    // Opens the channel on portName unless it is open; a failure is logged
    // with the port and the reason, and returns false.
    bool connectIfNeeded(const char* portName);
    int transmitApplication();
    int sendImage(const std::uint8_t* data, int length);
    int sendPage(int address, const std::uint8_t* data, int length);
    // The page transfer request: data part (only when data is not null),
    // program-page part, block-test part; addresses and lengths high byte
    // first.
    static TgRequest buildPageRequest(int address, const std::uint8_t* data, int length);
    void showProgress(int page, int count);
    void showProgressFailed();

    std::uint16_t bootloaderVersion() const { return bootloaderVersion_; }
    std::uint16_t pageCount() const { return pageCount_; }
    std::uint16_t pageSize() const { return pageSize_; }
    bool previousPageBlank() const { return previousPageBlank_; }
    // The record of the current or last run.
    const UpdateResult& result() const { return result_; }

private:
    void log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Sets the outcome unless an earlier step already decided it.
    void conclude(UpdateOutcome outcome, std::string message);
    void runAfterBootloaderReached();
    void discardLateAnswers();

    Channel& channel_;
    VekProtocolHandler& handler_;
    UpdateView& view_;
    ImageSource images_;
    std::function<std::string(int code)> openFailureReason_;

    std::uint16_t bootloaderVersion_ = 0;
    std::uint16_t pageCount_ = 0;
    std::uint16_t pageSize_ = 0;
    bool previousPageBlank_ = false;

    UpdateResult result_;
    bool concluded_ = false;
    // sendImage got every page through its block test.
    bool imageSent_ = false;
    bool running_ = false;
    // The last line reportCurrentError wrote, for the result's message.
    std::string lastError_;
};

}  // namespace vek
