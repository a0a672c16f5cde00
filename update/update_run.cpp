// The update run: connect, bring the device into its bootloader, recognise
// the model, send the chosen image page by page with a block test of every
// page, restart.

#include <chrono>
#include <cstdio>
#include <string>

#include "channel/channel.h"
#include "protocol/errors.h"
#include "protocol/struct_packer.h"
#include "protocol/telegram.h"
#include "update/bootloader_requests.h"
#include "update/session_sources.h"
#include "update/update_session.h"

namespace vek {

using namespace bootloader;

namespace {

constexpr char kResourceNotFound[] = "Internal error: Resource not found!";

void putAddress24(StructPacker& packer, int address) {
    packer.putU8((address >> 16) & 0xFF).putU8((address >> 8) & 0xFF).putU8(address & 0xFF);
}

void putLength16(StructPacker& packer, int length) {
    packer.putU8((length >> 8) & 0xFF).putU8(length & 0xFF);
}

// Clears a flag when leaving scope, also by an exception.
class RunningFlag {
public:
    explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunningFlag() { flag_ = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

private:
    bool& flag_;
};

}  // namespace

const char* outcomeName(UpdateOutcome outcome) {
    switch (outcome) {
        case UpdateOutcome::Updated: return "updated";
        case UpdateOutcome::UpdatedRestartUnconfirmed: return "updated-restart-unconfirmed";
        case UpdateOutcome::NoCommunication: return "no-communication";
        case UpdateOutcome::BootloaderNotStarted: return "bootloader-not-started";
        case UpdateOutcome::BootloaderNotRecognized: return "bootloader-not-recognized";
        case UpdateOutcome::DeviceNotSupported: return "device-not-supported";
        case UpdateOutcome::FirmwareInvalid: return "firmware-invalid";
        case UpdateOutcome::TransmissionAborted: return "transmission-aborted";
    }
    return "unknown";
}

void UpdateSession::conclude(UpdateOutcome outcome, std::string message) {
    if (concluded_) return;
    concluded_ = true;
    result_.outcome = outcome;
    result_.message = std::move(message);
}

UpdateResult UpdateSession::startUpdate(const char* portName) {
    if (running_) return result_;
    RunningFlag running(running_);
    const auto started = std::chrono::steady_clock::now();
    result_ = UpdateResult();
    concluded_ = false;
    imageSent_ = false;
    lastError_.clear();

    const bool connected = connectIfNeeded(portName);
    showStep(1);
    const int state = ensureBootloader();
    if (state == InBootloader) {
        result_.bootloaderReached = true;
        try {
            runAfterBootloaderReached();
        } catch (...) {
            // Nothing may leave a detector in its bootloader without the
            // restart request, not even an error no step could handle.
            conclude(UpdateOutcome::TransmissionAborted, "Unexpected error");
            showStep(4);
            result_.restarted = restartDevice();
            showStep(0);
            throw;
        }
    } else if (state == BootloaderDidNotStart) {
        conclude(UpdateOutcome::BootloaderNotStarted, "Cannot start bootloader!");
    } else if (state == UnknownBehaviour) {
        conclude(UpdateOutcome::BootloaderNotStarted, "Unknown behavior!");
    } else {
        conclude(UpdateOutcome::NoCommunication,
                 connected ? "No communication!" : lastError_ + " - No communication!");
    }
    showStep(0);

    result_.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result_;
}

void UpdateSession::runAfterBootloaderReached() {
    log("Detecting bootloader ...\n");
    const std::uint16_t version = detectBootloader();
    result_.bootloaderVersion = version;
    result_.pageCount = pageCount_;
    if (version > kLastUnsupportedVersion) {
        log("Bootloader version: %d.%02d\n", version / 100, version % 100);
        log("%d pages @ %d bytes\n", pageCount_, pageSize_);
        showStep(3);
        transmitApplication();
    } else {
        log("Bootloader version not recognized!\n");
        view_.alert("Bootloader version not recognized!");
        conclude(UpdateOutcome::BootloaderNotRecognized,
                 version == 0 && !lastError_.empty()
                     ? lastError_ + " - Bootloader version not recognized!"
                     : "Bootloader version not recognized!");
    }
    showStep(4);
    result_.restarted = restartDevice();
    if (!imageSent_) {
        // Every way to miss a page has concluded already; this only guards
        // against ever calling an incomplete transmission an update.
        conclude(UpdateOutcome::TransmissionAborted, "Transmission incomplete");
    } else if (result_.restarted) {
        conclude(UpdateOutcome::Updated, "Device updated and restarted");
    } else {
        conclude(UpdateOutcome::UpdatedRestartUnconfirmed,
                 "All pages sent, but the restart was not confirmed (" + lastError_ + ")");
    }
}

bool UpdateSession::connectIfNeeded(const char* portName) {
    if (channel_.isOpen()) return true;
    // The open tells the channel's view, which may replace the text the
    // caller's pointer refers to: keep a copy for the log.
    const std::string name = portName != nullptr ? portName : "";
    const int code = channel_.open(portName, nullptr);
    if (code >= 0 && channel_.isOpen()) return true;
    // The dialogue goes on and ends with "No communication!"; this line says
    // which port failed and why, so the user knows what to fix.
    std::string reason;
    if (openFailureReason_) reason = openFailureReason_(code);
    const std::string line = portOpenFailureLine(name, code, reason);
    lastError_ = line;
    log("%s\n", line.c_str());
    return false;
}

int UpdateSession::transmitApplication() {
    if (pageSize_ != kSupportedPageSize) {
        log("Error: Page size %d\n", pageSize_);
        log("  NOT SUPPORTED\n");
        conclude(UpdateOutcome::DeviceNotSupported,
                 "Page size " + std::to_string(pageSize_) + " not supported");
        return PageSizeNotSupported;
    }
    int model;
    if (pageCount_ == kT310PageCount) {
        log("Target device is T310\n");
        model = 310;
    } else if (pageCount_ == kT320PageCount) {
        log("Target device is T320\n");
        model = 320;
    } else {
        log("Error: %d of pages\n", pageCount_);
        log("  NOT SUPPORTED\n");
        conclude(UpdateOutcome::DeviceNotSupported,
                 "Page count " + std::to_string(pageCount_) + " not supported");
        return PageCountNotSupported;
    }
    result_.model = model;

    const int index = view_.firmwareIndex(model);
    ImageBytes image;
    if (images_) image = images_(model, index);
    if (!image) {
        log("%s\n", kResourceNotFound);
        view_.alert(kResourceNotFound);
        conclude(UpdateOutcome::FirmwareInvalid, kResourceNotFound);
        return TransmitDone;
    }
    sendImage(image->data(), static_cast<int>(image->size()));
    return TransmitDone;
}

int UpdateSession::sendImage(const std::uint8_t* data, int length) {
    const int expected = pageCount_ * pageSize_;
    if (length != expected && length != expected + kImageSurplus) {
        log("Data size mismatch: 0x%x\n", static_cast<unsigned>(length));
        char line[96];
        std::snprintf(line, sizeof line, "Data size mismatch: 0x%x (expected 0x%x)",
                      static_cast<unsigned>(length), static_cast<unsigned>(expected));
        conclude(UpdateOutcome::FirmwareInvalid, line);
        return ImageSizeMismatch;
    }
    previousPageBlank_ = false;
    imageSent_ = false;
    int page = 0;
    int failures = 0;
    while (page < pageCount_) {
        showProgress(page, pageCount_);
        if (sendPage(page * pageSize_, data + page * pageSize_, pageSize_) == 0) {
            ++page;
            failures = 0;
        } else {
            ++failures;
            if (failures >= kMaxPageAttempts) {
                log("Error ... abort!\n");
                showProgressFailed();
                conclude(UpdateOutcome::TransmissionAborted,
                         "Page " + std::to_string(page + 1) + " failed " +
                             std::to_string(failures) + " times (" + lastError_ + ")");
                return ImageAborted;
            }
            log("Block test not OK ... repeating block\n");
            ++result_.repeats;
        }
        view_.yield();
    }
    imageSent_ = true;
    return ImageSent;
}

int UpdateSession::sendPage(int address, const std::uint8_t* data, int length) {
    bool blank = true;
    if (data != nullptr) {
        for (int i = 0; i < pageSize_; ++i) {
            if (data[i] != 0x00) {
                blank = false;
                break;
            }
        }
    }
    // The device keeps the last page data it received: a zero page that
    // follows a zero page needs no data part.
    const bool withoutData = blank && previousPageBlank_;
    try {
        handler_.request(buildPageRequest(address, withoutData ? nullptr : data, length), false);
    } catch (const Timeout&) {
        reportCurrentError();
        discardLateAnswers();
        return -1;
    } catch (...) {
        reportCurrentError();
        return -1;
    }
    previousPageBlank_ = blank;
    ++result_.pagesSent;
    if (withoutData) ++result_.pagesSentWithoutData;
    return 0;
}

// Answers carry no page address: an answer that comes after its wait gave up
// would be taken for the next request's, and every page after it would be
// confirmed by its predecessor's block test. Whatever still comes is dropped
// until the line stays quiet.
void UpdateSession::discardLateAnswers() {
    const int type = typeForVariant(kVariantBootloader);
    for (int answers = 0; answers < kMaxPageAttempts; ++answers) {
        try {
            handler_.waitForAnswer(type, kCommandOperations, kLateAnswerSeconds);
        } catch (const Timeout&) {
            return;
        } catch (const ErrorObject&) {
            // a late negative answer: dropped as well
        } catch (const CRCError&) {
            // a damaged late answer: dropped as well
        } catch (...) {
            return;
        }
    }
}

TgRequest UpdateSession::buildPageRequest(int address, const std::uint8_t* data, int length) {
    TgRequest request;
    request.command = kCommandOperations;
    request.variant = kVariantBootloader;
    StructPacker packer(request.data, true);
    if (data != nullptr) {
        packer.putU8(kOperationPageData);
        putAddress24(packer, address);
        putLength16(packer, length);
        packer.putBytes(data, static_cast<std::size_t>(length));
    }
    packer.putU8(kOperationProgramPage);
    putAddress24(packer, address);
    putLength16(packer, length / 2);  // in 16-bit words
    packer.putU8(kOperationBlockTest);
    putAddress24(packer, address);
    putLength16(packer, length);
    packer.putU8(0x00);
    return request;
}

void UpdateSession::showProgress(int page, int count) {
    char label[24];
    std::snprintf(label, sizeof label, "%03d/%d", page + 1, count);
    // A single page is both first and last: show it full.
    const int percent = count > 1 ? page * 100 / (count - 1) : 100;
    view_.showProgress(page, count, label, percent);
}

void UpdateSession::showProgressFailed() { view_.showProgressFailed(); }

}  // namespace vek
