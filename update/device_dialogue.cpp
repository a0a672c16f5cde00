// The dialogue with the detector: which mode it runs in, switching it into
// its bootloader, identifying the bootloader, restarting, and the one place
// that turns a caught error into a log line.

#include <cstdarg>
#include <cstdio>
#include <exception>

#include "protocol/errors.h"
#include "protocol/struct_packer.h"
#include "protocol/telegram.h"
#include "protocol/timers.h"
#include "update/bootloader_requests.h"
#include "update/update_session.h"

namespace vek {

using namespace bootloader;

namespace {

// How long the device needs to come up in its bootloader.
constexpr int kBootloaderStartMs = 1000;

TgRequest makeRequest(std::uint8_t command, std::uint8_t variant) {
    TgRequest request;
    request.command = command;
    request.variant = variant;
    return request;
}

}  // namespace

UpdateSession::UpdateSession(Channel& channel, VekProtocolHandler& handler, UpdateView& view,
                             ImageSource images)
    : channel_(channel), handler_(handler), view_(view), images_(std::move(images)) {}

void UpdateSession::setOpenFailureReason(std::function<std::string(int code)> reason) {
    openFailureReason_ = std::move(reason);
}

void UpdateSession::log(const char* format, ...) {
    // One log call carries at most 255 characters, like the log pane's own
    // printf; longer output is cut.
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    view_.appendLog(text);
}

int UpdateSession::ping(int variant) {
    TgRequest request = makeRequest(kCommandOperations, static_cast<std::uint8_t>(variant));
    StructPacker(request.data, true).putU8(kOperationPing);
    try {
        handler_.request(request, false);
        return BootloaderAnswered;
    } catch (const ErrorObject&) {
        // Only the application answers the ping with an error answer.
        return ApplicationAnswered;
    } catch (...) {
        return NoAnswer;
    }
}

int UpdateSession::ensureBootloader() {
    // The retry pattern is fixed: two application pings and one bootloader
    // ping before the switch, two bootloader pings and one application ping
    // after it.
    int r = ping(kVariantApplication);
    if (r == NoAnswer) r = ping(kVariantApplication);
    if (r == NoAnswer) r = ping(kVariantBootloader);

    if (r == BootloaderAnswered) {
        log("Device in bootloader mode\n");
        return InBootloader;
    }
    if (r == ApplicationAnswered) {
        log("Device in application mode ...\n");
        log("  ... switching to bootloader\n");
        showStep(2);
        enterBootloader();
        sleepMilliseconds(kBootloaderStartMs);

        r = ping(kVariantBootloader);
        if (r == NoAnswer) r = ping(kVariantBootloader);
        if (r == NoAnswer) r = ping(kVariantApplication);

        if (r == ApplicationAnswered) {
            log("Cannot start bootloader!\n");
            return BootloaderDidNotStart;
        }
        if (r == BootloaderAnswered) return InBootloader;
    }
    if (r == NoAnswer) {
        log("No communication!\n");
        return NoCommunicationState;
    }
    log("Unknown behavior!\n");
    return UnknownBehaviour;
}

void UpdateSession::enterBootloader() {
    TgRequest request = makeRequest(kCommandEnterBootloader, kVariantApplication);
    StructPacker packer(request.data, true);
    for (std::uint8_t byte : kEnterBootloaderPayload) packer.putU8(byte);
    try {
        handler_.request(request, false);
    } catch (const Timeout&) {
        // The application often resets into its bootloader before it
        // answers; the pings that follow tell whether the switch worked.
    } catch (...) {
        reportCurrentError();
    }
}

std::uint16_t UpdateSession::detectBootloader() {
    bootloaderVersion_ = 0;
    pageCount_ = 0;
    pageSize_ = 0;
    try {
        VekTelegram answer = handler_.query(kCommandIdentify, kVariantBootloader);
        if (answer.command != kCommandIdentify) throw TgParseError();
        T3xx_Telegram_126 identification;
        identification.parse(answer.data);
        bootloaderVersion_ = identification.version;
        pageCount_ = identification.pageCount;
        pageSize_ = static_cast<std::uint16_t>(identification.pageSizeUnits * 8);
    } catch (...) {
        reportCurrentError();
        bootloaderVersion_ = 0;
        pageCount_ = 0;
        pageSize_ = 0;
    }
    return bootloaderVersion_;
}

bool UpdateSession::restartDevice() {
    TgRequest request = makeRequest(kCommandOperations, kVariantBootloader);
    StructPacker(request.data, true).putU8(kOperationRestart);
    try {
        handler_.request(request, false);
        return true;
    } catch (...) {
        reportCurrentError();
        return false;
    }
}

void UpdateSession::showStep(unsigned step) { view_.showStep(step); }

void UpdateSession::reportCurrentError() {
    char line[256];
    try {
        throw;
    } catch (const WrongAnswer& e) {
        std::snprintf(line, sizeof line, "Error: %s #%d", e.what(), e.command);
    } catch (const ErrorObject& e) {
        std::snprintf(line, sizeof line, "Error: device reports code #%d", e.deviceCode);
    } catch (const std::exception& e) {
        std::snprintf(line, sizeof line, "Error: %s", e.what());
    }
    lastError_ = line;
    log("%s\n", line);
}

}  // namespace vek
