#include "tools/devsim/device_model.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

#include "protocol/telegram.h"

namespace vek {
namespace devsim {

namespace {

constexpr int kPingCommand = 127;
constexpr int kTransferCommand = 127;  // ping, page transfer and restart share it
constexpr int kIdentifyCommand = 126;
constexpr int kEnterBootloaderCommand = 28;
constexpr std::uint8_t kPingPayload = 0x00;
constexpr std::uint8_t kRestartPayload = 0x07;
constexpr std::uint8_t kOpData = 0x09;
constexpr std::uint8_t kOpProgram = 0x04;
constexpr std::uint8_t kOpBlockTest = 0x08;
constexpr std::uint32_t kAddressSpace = 1u << 24;  // addresses travel as 3 bytes
const ByteVector kEnterBootloaderPayload{0x06, 0x00, 0x00, 0x00};

std::uint32_t address24(const ByteVector& p, std::size_t at) {
    return (std::uint32_t{p[at]} << 16) | (std::uint32_t{p[at + 1]} << 8) | p[at + 2];
}

std::uint32_t word16(const ByteVector& p, std::size_t at) {
    return (std::uint32_t{p[at]} << 8) | p[at + 1];
}

}  // namespace

const char* modelName(Model model) {
    return model == Model::T320 ? "T320" : "T310";
}

Model parseModel(const std::string& text) {
    std::string upper = text;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper == "T310" || upper == "310") return Model::T310;
    if (upper == "T320" || upper == "320") return Model::T320;
    throw std::invalid_argument("unknown model \"" + text + "\" (use T310 or T320)");
}

int DeviceConfig::effectivePageCount() const {
    if (pageCount > 0) return pageCount;
    return model == Model::T320 ? 1008 : 496;
}

std::size_t DeviceConfig::flashSize() const {
    return static_cast<std::size_t>(effectivePageCount()) * static_cast<std::size_t>(pageSize());
}

void DeviceConfig::validate() const {
    if (pageCount < 0 || pageCount > 0xFFFF) {
        throw std::invalid_argument("page count must be 1 to 65535 (0 for the model's own)");
    }
    if (pageSizeUnits < 1 || pageSizeUnits > 0xFF) {
        throw std::invalid_argument("page size units must be 1 to 255 (page size / 8)");
    }
    if (flashSize() > kAddressSpace) {
        throw std::invalid_argument("pages x page size exceeds the 24-bit address space");
    }
    if (identifyForm != 11 && identifyForm != 9 && identifyForm != 4) {
        throw std::invalid_argument("identification form must be 11, 9 or 4 bytes");
    }
    const int versionLimit = identifyForm == 11 ? 0xFFFF : 0xFF;
    if (bootloaderVersion < 0 || bootloaderVersion > versionLimit) {
        throw std::invalid_argument("bootloader version must be 0 to " + std::to_string(versionLimit) +
                                    " in the " + std::to_string(identifyForm) + "-byte identification");
    }
    if (identifyText.size() > static_cast<std::size_t>(T3xx_Telegram_126::kTextLength)) {
        throw std::invalid_argument("identification text has at most 5 characters");
    }
}

DeviceModel::DeviceModel(DeviceConfig config, FaultPlan faults)
    : config_(std::move(config)), faults_(std::move(faults)),
      mode_(config_.startInBootloader ? Mode::Bootloader : Mode::Application) {
    config_.validate();
    // Erased flash and an untouched page buffer read as 0xFF.
    flash_.assign(config_.flashSize(), 0xFF);
    pageBuffer_.assign(static_cast<std::size_t>(config_.pageSize()), 0xFF);
    report_.model = modelName(config_.model);
    report_.pageCount = config_.effectivePageCount();
    report_.pageSize = config_.pageSize();
}

SimReport DeviceModel::report() const {
    SimReport copy = report_;
    copy.modeAtExit = mode_ == Mode::Bootloader ? "bootloader" : "application";
    return copy;
}

void DeviceModel::idle() {
    parser_.poll();
}

std::vector<Outgoing> DeviceModel::receive(const std::uint8_t* data, std::size_t length) {
    std::vector<Outgoing> out;
    for (std::size_t i = 0; i < length; ++i) {
        ++report_.bytesIn;
        if (!parser_.feed(data[i])) continue;
        ReceivedTelegram telegram = std::move(parser_.telegrams().front());
        parser_.telegrams().pop_front();
        ++report_.framesReceived;

        if (!checkTelegram(telegram)) {
            ++report_.badChecks;
            log("frame type " + std::to_string(telegram.type) + " command " +
                std::to_string(telegram.command) + ": bad check value, not answered");
            continue;
        }
        if (!isRequestDirection(telegram)) {
            ++report_.ignoredFrames;
            continue;
        }
        if (hangUpArmed_) {
            hangUpArmed_ = false;
            log("hang-up before answering command " + std::to_string(telegram.command));
            Outgoing hangUp;
            hangUp.afterByte = i;
            hangUp.hangUpAfter = true;
            out.push_back(std::move(hangUp));
            continue;
        }
        Answer answer;
        RequestKind kind = RequestKind::Other;
        int page = -1;
        if (!handle(telegram, answer, kind, page)) continue;
        Outgoing outgoing = encode(answer, kind, page);
        outgoing.afterByte = i;
        out.push_back(std::move(outgoing));
        if (kind == RequestKind::Page && page >= 0 && page == faults_.hangUpPage()) {
            hangUpArmed_ = true;
            faults_.hangUpAfterPage(-1);
        }
    }
    return out;
}

RequestKind DeviceModel::classify(const ReceivedTelegram& telegram, int& page) const {
    page = -1;
    const ByteVector& p = telegram.data;
    if (telegram.type == 3) {
        if (telegram.command == kPingCommand) return RequestKind::Ping;
        if (telegram.command == kEnterBootloaderCommand) return RequestKind::EnterBootloader;
        return RequestKind::Other;
    }
    if (telegram.type != 4) return RequestKind::Other;
    if (telegram.command == kIdentifyCommand) return RequestKind::Identify;
    if (telegram.command != kTransferCommand) return RequestKind::Other;
    if (p.size() == 1 && p[0] == kPingPayload) return RequestKind::Ping;
    if (p.size() == 1 && p[0] == kRestartPayload) return RequestKind::Restart;
    if (p.size() >= 4) page = static_cast<int>(address24(p, 1) / static_cast<std::uint32_t>(config_.pageSize()));
    return RequestKind::Page;
}

bool DeviceModel::handle(const ReceivedTelegram& telegram, Answer& answer, RequestKind& kind, int& page) {
    kind = classify(telegram, page);
    const bool application = mode_ == Mode::Application;
    if (telegram.type != (application ? 3 : 4)) {
        // The application speaks type 3 only, the bootloader type 4 only.
        ++report_.ignoredFrames;
        return false;
    }
    if (faults_.isSilent()) {
        log(std::string("silent: ") + requestKindName(kind) + " not answered");
        return false;
    }
    const int forced = faults_.takeErrorAnswer(kind, page);
    if (forced >= 0) {
        log(std::string("fault: error answer ") + std::to_string(forced) + " to " + requestKindName(kind));
        answer = error(telegram.type, static_cast<std::uint8_t>(forced));
        return true;
    }
    return application ? handleApplication(telegram, answer, kind) : handleBootloader(telegram, answer, kind);
}

bool DeviceModel::handleApplication(const ReceivedTelegram& telegram, Answer& answer, RequestKind kind) {
    switch (kind) {
        case RequestKind::Ping:
            // The application does not know the bootloader's ping.
            ++report_.pings;
            log("application: ping -> error answer");
            answer = error(3, device_code::kUnknownCommand);
            return true;
        case RequestKind::EnterBootloader:
            ++report_.enterBootloaderRequests;
            if (telegram.data != kEnterBootloaderPayload) {
                ++report_.malformedRequests;
                answer = error(3, device_code::kBadRequest);
                return true;
            }
            if (faults_.staysInApplication()) {
                log("application: enter bootloader acknowledged, staying in the application");
            } else {
                log("application: enter bootloader");
                mode_ = Mode::Bootloader;
            }
            if (!config_.answerEnterBootloader) return false;
            answer = positive(telegram);
            return true;
        default:
            answer = error(3, device_code::kUnknownCommand);
            return true;
    }
}

bool DeviceModel::handleBootloader(const ReceivedTelegram& telegram, Answer& answer, RequestKind kind) {
    switch (kind) {
        case RequestKind::Ping:
            ++report_.pings;
            log("bootloader: ping");
            answer = positive(telegram);
            return true;
        case RequestKind::Identify: {
            ++report_.identifications;
            if (!telegram.data.empty()) {
                ++report_.malformedRequests;
                answer = error(4, device_code::kBadRequest);
                return true;
            }
            T3xx_Telegram_126 id;
            id.version = static_cast<std::uint16_t>(config_.bootloaderVersion);
            id.pageSizeUnits = static_cast<std::uint8_t>(config_.pageSizeUnits);
            id.pageCount = static_cast<std::uint16_t>(config_.effectivePageCount());
            id.extra = config_.identifyExtra;
            std::string text = config_.identifyText.empty() ? modelName(config_.model) : config_.identifyText;
            text.resize(T3xx_Telegram_126::kTextLength, ' ');
            std::memcpy(id.text.data(), text.data(), T3xx_Telegram_126::kTextLength);
            log("bootloader: identification");
            answer = positive(telegram);
            answer.payload = id.toPayload(config_.identifyForm);
            return true;
        }
        case RequestKind::Restart:
            ++report_.restarts;
            log("bootloader: restart into the application");
            answer = positive(telegram);
            mode_ = Mode::Application;
            return true;
        case RequestKind::Page: {
            ++report_.pageRequests;
            const std::uint8_t code = transferPage(telegram.data);
            answer = code == 0 ? positive(telegram) : error(4, code);
            return true;
        }
        default:
            answer = error(4, device_code::kUnknownCommand);
            return true;
    }
}

std::uint8_t DeviceModel::parseOperations(const ByteVector& payload, std::vector<Operation>& ops) const {
    std::size_t i = 0;
    while (i < payload.size()) {
        Operation op;
        op.code = payload[i];
        if (op.code != kOpData && op.code != kOpProgram && op.code != kOpBlockTest) {
            return device_code::kBadRequest;
        }
        const std::size_t fixed = op.code == kOpBlockTest ? 7 : 6;
        if (payload.size() - i < fixed) return device_code::kBadRequest;
        op.address = address24(payload, i + 1);
        op.count = word16(payload, i + 4);
        if (op.code == kOpBlockTest && payload[i + 6] != 0x00) return device_code::kBadRequest;
        i += fixed;
        if (op.code == kOpData) {
            if (payload.size() - i < op.count) return device_code::kBadRequest;
            op.data.assign(payload.begin() + static_cast<std::ptrdiff_t>(i),
                           payload.begin() + static_cast<std::ptrdiff_t>(i + op.count));
            i += op.count;
        }
        const std::uint8_t range = checkRange(op, op.code == kOpProgram ? op.count * 2 : op.count);
        if (range != 0) return range;
        ops.push_back(std::move(op));
    }
    return ops.empty() ? device_code::kBadRequest : 0;
}

std::uint8_t DeviceModel::checkRange(const Operation& op, std::uint32_t bytes) const {
    const auto pageSize = static_cast<std::uint32_t>(config_.pageSize());
    if (op.address + bytes > flash_.size() || op.address % pageSize + bytes > pageSize) {
        return device_code::kOutOfRange;
    }
    return 0;
}

std::uint8_t DeviceModel::transferPage(const ByteVector& payload) {
    std::vector<Operation> ops;
    const std::uint8_t bad = parseOperations(payload, ops);
    if (bad != 0) {
        ++report_.malformedRequests;
        log("bootloader: malformed page transfer, code " + std::to_string(bad));
        return bad;
    }
    const auto pageSize = static_cast<std::uint32_t>(config_.pageSize());
    const bool hasData = std::any_of(ops.begin(), ops.end(), [](const Operation& op) { return op.code == kOpData; });
    if (!hasData) ++report_.requestsWithoutDataPart;
    for (const Operation& op : ops) {
        const std::uint32_t offset = op.address % pageSize;
        const int page = static_cast<int>(op.address / pageSize);
        if (op.code == kOpData) {
            std::copy(op.data.begin(), op.data.end(), pageBuffer_.begin() + offset);
        } else if (op.code == kOpProgram) {
            const std::uint32_t bytes = op.count * 2;
            std::copy_n(pageBuffer_.begin() + offset, bytes, flash_.begin() + op.address);
            if (bytes > 0 && faults_.takeBlockTestFailure(page)) {
                flash_[op.address] ^= 0xFF;  // a cell that did not take its value
                log("fault: page " + std::to_string(page) + " programmed wrongly");
            }
            ++report_.programs;
            ++report_.pagePrograms[page];
        } else {
            ++report_.blockTests;
            const bool same = std::equal(flash_.begin() + op.address, flash_.begin() + op.address + op.count,
                                         pageBuffer_.begin() + offset);
            if (!same) {
                ++report_.blockTestsFailed;
                log("bootloader: block test of page " + std::to_string(page) + " failed");
                return device_code::kBlockTestFailed;
            }
        }
    }
    if (log_) {
        log("bootloader: page " + std::to_string(ops.front().address / pageSize) + " transferred" +
            (hasData ? "" : " (no data part)"));
    }
    return 0;
}

DeviceModel::Answer DeviceModel::positive(const ReceivedTelegram& telegram) const {
    return Answer{telegram.type, telegram.command, kDirectionBit | kPositiveAnswerBits, {}};
}

DeviceModel::Answer DeviceModel::error(int type, std::uint8_t code) {
    return Answer{type, kErrorAnswerCommand, kDirectionBit, ByteVector{code}};
}

Outgoing DeviceModel::encode(const Answer& answer, RequestKind kind, int page) {
    ByteVector frame;
    buildFrame(frame, answer.type, answer.command, answer.flags, answer.payload);
    if (faults_.takeCorruptCheck(kind, page)) {
        frame[frame.size() - 2] ^= 0x5A;
        frame[frame.size() - 1] ^= 0xA5;
        log("fault: check bytes corrupted");
    }
    Outgoing out;
    // Line noise never holds a 'V': a stray start letter right before the
    // answer's own would make the receiver drop the answer's start mark, and
    // this fault is about noise the receiver must skip, not about lost answers.
    std::uint32_t noise = 0x2545F491u;
    for (int i = 0; i < faults_.garbageCount(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        auto byte = static_cast<std::uint8_t>(noise >> 24);
        if (byte == 'V') byte = 0x00;
        out.bytes.push_back(byte);
    }
    out.bytes.insert(out.bytes.end(), frame.begin(), frame.end());
    out.delayMs = faults_.takeDelay(kind, page);
    ++report_.answersSent;
    if (answer.command == kErrorAnswerCommand) ++report_.errorAnswers;
    return out;
}

void DeviceModel::log(const std::string& line) const {
    if (log_) log_(line);
}

}  // namespace devsim
}  // namespace vek
