#pragma once

// The simulated detector itself, free of any transport: bytes from the line
// go in, the bytes it sends back come out. It plays the two modes the
// updater drives:
//
// Application mode answers only type 3 telegrams: the ping (command 127)
// with an error answer, the enter-bootloader request (command 28, payload
// 06 00 00 00) by switching to its bootloader.
//
// Bootloader mode answers only type 4 telegrams: the ping (command 127,
// payload 00), the identification (command 126), page transfers (command
// 127 with an operation sequence: 0x09 data into the page buffer, 0x04
// program the page buffer into flash, 0x08 block test of flash against the
// page buffer) and the restart (command 127, payload 07), which returns to
// the application.
//
// Frames with a bad check value are counted and never answered; malformed
// requests get an error answer with a device code.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "protocol/struct_packer.h"
#include "protocol/telegram_parser.h"
#include "tools/devsim/fault_plan.h"
#include "tools/devsim/sim_report.h"

namespace vek {
namespace devsim {

enum class Model { T310, T320 };

// The device's own error numbers, sent as the payload of its error answers.
namespace device_code {
constexpr std::uint8_t kUnknownCommand = 0x01;   // also the application's answer to the ping
constexpr std::uint8_t kBadRequest = 0x02;       // payload or operation sequence malformed
constexpr std::uint8_t kOutOfRange = 0x03;       // address or length outside the flash or page
constexpr std::uint8_t kBlockTestFailed = 0x04;  // flash differs from the page buffer
}  // namespace device_code

struct DeviceConfig {
    Model model = Model::T310;
    int pageCount = 0;           // 0: the model's own (T310 496, T320 1008)
    int pageSizeUnits = 32;      // page size / 8 as the identification reports it
    int bootloaderVersion = 104; // hundredths: 104 = 1.04
    int identifyForm = 11;       // identification payload length: 11, 9 or 4
    std::uint8_t identifyExtra = 0;
    std::string identifyText;    // 5 characters; empty: the model name padded with a blank
    bool startInBootloader = false;
    // Whether the application acknowledges the enter-bootloader request
    // before it switches (the updater ignores a time-out there).
    bool answerEnterBootloader = true;

    int effectivePageCount() const;
    int pageSize() const { return pageSizeUnits * 8; }
    std::size_t flashSize() const;
    // Throws std::invalid_argument with a message naming the bad setting.
    void validate() const;
};

const char* modelName(Model model);
// "T310"/"310" or "T320"/"320", any case; throws std::invalid_argument.
Model parseModel(const std::string& text);

// One answer leaving the device: its bytes (noise included) and when.
struct Outgoing {
    ByteVector bytes;
    // Index, within the bytes handed to receive, of the byte that completed
    // the request; the answer cannot leave before that byte has arrived.
    std::size_t afterByte = 0;
    int delayMs = 0;           // extra delay after the request arrived
    bool hangUpAfter = false;  // pull the cable once these bytes are out
};

class DeviceModel {
public:
    enum class Mode { Application, Bootloader };
    using LogSink = std::function<void(const std::string&)>;

    // Throws std::invalid_argument when the configuration is not usable.
    explicit DeviceModel(DeviceConfig config = {}, FaultPlan faults = {});

    // Takes bytes from the line and returns the answers they caused, in order.
    std::vector<Outgoing> receive(const std::uint8_t* data, std::size_t length);
    std::vector<Outgoing> receive(const ByteVector& bytes) { return receive(bytes.data(), bytes.size()); }
    // Lets a half-received frame expire after a pause on the line; call it
    // now and then while nothing arrives.
    void idle();
    // The transport reports the bytes it put on the line.
    void noteBytesSent(std::size_t count) { report_.bytesOut += static_cast<std::int64_t>(count); }
    void noteHangUp() { ++report_.hangUps; }

    Mode mode() const { return mode_; }
    int restarts() const { return report_.restarts; }
    const DeviceConfig& config() const { return config_; }
    FaultPlan& faults() { return faults_; }
    const ByteVector& flash() const { return flash_; }
    const ByteVector& pageBuffer() const { return pageBuffer_; }
    // The counters, with the mode filled in as it is now.
    SimReport report() const;
    // Receives one line per request handled, for a verbose console.
    void setLog(LogSink sink) { log_ = std::move(sink); }

private:
    struct Answer {
        int type = 0;
        int command = 0;
        int flags = 0;
        ByteVector payload;
    };
    struct Operation {
        std::uint8_t code = 0;
        std::uint32_t address = 0;
        std::uint32_t count = 0;  // bytes (data, block test) or words (program)
        ByteVector data;
    };

    bool handle(const ReceivedTelegram& telegram, Answer& answer, RequestKind& kind, int& page);
    bool handleApplication(const ReceivedTelegram& telegram, Answer& answer, RequestKind kind);
    bool handleBootloader(const ReceivedTelegram& telegram, Answer& answer, RequestKind kind);
    RequestKind classify(const ReceivedTelegram& telegram, int& page) const;
    // Carries out a page transfer; returns 0 or a device code.
    std::uint8_t transferPage(const ByteVector& payload);
    std::uint8_t parseOperations(const ByteVector& payload, std::vector<Operation>& ops) const;
    std::uint8_t checkRange(const Operation& op, std::uint32_t bytes) const;
    Answer positive(const ReceivedTelegram& telegram) const;
    Answer error(int type, std::uint8_t code);
    Outgoing encode(const Answer& answer, RequestKind kind, int page);
    void log(const std::string& line) const;

    DeviceConfig config_;
    FaultPlan faults_;
    Mode mode_;
    TelegramParser parser_;
    ByteVector flash_;
    ByteVector pageBuffer_;
    bool hangUpArmed_ = false;  // the page named by the hang-up fault has been answered
    SimReport report_;
    LogSink log_;
};

}  // namespace devsim
}  // namespace vek
