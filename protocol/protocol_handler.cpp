#include "protocol/protocol_handler.h"

#include <algorithm>
#include <ctime>

#include "channel/channel.h"
#include "protocol/errors.h"

namespace vek {

VekProtocolHandler::VekProtocolHandler() : VekProtocolHandler(systemTickClock()) {}

VekProtocolHandler::VekProtocolHandler(TickClock& clock, TelegramParser::MicrosecondClock microseconds)
    : answerTimer_(clock), parser_(microseconds ? TelegramParser(std::move(microseconds)) : TelegramParser()) {}

VekProtocolHandler::~VekProtocolHandler() = default;

bool VekProtocolHandler::channelOpen() const { return channel_ != nullptr && channel_->isOpen(); }

void VekProtocolHandler::request(const TgRequest& request, bool noWait) {
    const int type = typeForVariant(request.variant);
    sendFrame(type, request.command, kRequestFlagBits | requestFlagsForVariant(request.variant), request.data);
    if (noWait) return;
    const VekTelegram answer = waitForAnswer(type, request.command, 0);
    const int flagBits = answer.flags & kFlagBitsMask;
    if (flagBits != kPositiveAnswerBits) throw WrongAnswer(answer.command, flagBits);
}

VekTelegram VekProtocolHandler::query(int command, int variant) { return queryWith(command, variant, {}); }

VekTelegram VekProtocolHandler::queryWith(int command, int variant, const ByteVector& payload) {
    const int type = typeForVariant(variant);
    sendFrame(type, command, requestFlagsForVariant(variant), payload);
    return waitForAnswer(type, command, 0);
}

VekTelegram VekProtocolHandler::queryRequest(const TgRequest& request) {
    return queryWith(request.command, request.variant, request.data);
}

// Requests and queries go out with the full checks of the raw send: a closed
// channel or a failed write is reported at once instead of surfacing later as
// a time-out of the wait that follows.
void VekProtocolHandler::sendFrame(int type, int command, int flags, const ByteVector& payload) {
    if (payload.size() > static_cast<std::size_t>(kMaxPayloadLength)) {
        if (!channelOpen()) throw NoConnection();
        throw WriteError();
    }
    sendRaw(type, command, flags, payload.data(), static_cast<int>(payload.size()));
}

void VekProtocolHandler::sendRaw(int type, int command, int flags, const void* payload, int length) {
    if (!channelOpen()) throw NoConnection();
    if (buildFrame(frame_, type, command, flags, payload, length) != 0) throw WriteError();
    const int frameLength = static_cast<int>(frame_.size());
    const int written = channel_->write(reinterpret_cast<const char*>(frame_.data()), frameLength);
    if (written != frameLength) throw WriteError();
}

VekTelegram VekProtocolHandler::waitForAnswer(int type, int command, float timeout) {
    VekTelegram result;
    if (!channelOpen()) throw NoConnection();
    answerTimer_.start(timeout > 0 ? timeout : defaultTimeout_);
    wokeByChannel_ = false;

    auto& telegrams = parser_.telegrams();
    bool done = false;
    for (;;) {
        if (answerTimer_.expired()) {
            if (done) return result;
            throw Timeout();
        }
        if (done) return result;

        receive(command);
        if (!telegrams.empty()) {
            const ReceivedTelegram t = std::move(telegrams.front());
            telegrams.pop_front();
            const bool ok = checkTelegram(t);
            const bool typeMatches = type < 0 || t.type == type;
            // A request-direction telegram (an echo, another master) is
            // never an answer, however it reached the front of the queue.
            if (typeMatches && !isRequestDirection(t)) {
                if (command < 0 || t.command == command) {
                    if (!ok) throw CRCError();
                    result = VekTelegram(t);
                    done = true;
                    continue;
                }
                if (t.command == kErrorAnswerCommand) {
                    if (!ok) throw CRCError();
                    throw ErrorObject(t.data.empty() ? 0 : t.data.front());
                }
            }
        }
        idleStep();
    }
}

bool VekProtocolHandler::receive(int expectedCommand) {
    if (channelOpen()) {
        char buffer[kReadChunk];
        const int count = channel_->read(buffer, kReadChunk);
        if (wokeByChannel_ && count <= 0) sleepNextIdleStep_ = true;
        wokeByChannel_ = false;
        if (count > 0) {
            byteQueue_.insert(byteQueue_.end(), buffer, buffer + std::min(count, kReadChunk));
        } else if (byteQueue_.empty()) {
            // Nothing new on the line: let the parser see the silence, so a
            // telegram cut short is abandoned instead of swallowing the
            // start of the next answer.
            parser_.poll();
        }
    }

    auto& telegrams = parser_.telegrams();
    for (;;) {
        if (byteQueue_.empty()) return false;
        while (!byteQueue_.empty()) {
            const std::uint8_t byte = byteQueue_.front();
            byteQueue_.pop_front();
            if (parser_.feed(byte)) break;
        }
        if (telegrams.empty()) continue;

        const ReceivedTelegram& t = telegrams.front();
        if (isRequestDirection(t)) {
            telegrams.pop_front();
            continue;
        }
        if (!checkTelegram(t)) {
            if (t.command == expectedCommand) return true;
            continue;  // stays at the front; the wait takes it out
        }
        if (t.command == expectedCommand) return true;

        const ForwardCallback forward = forwards_.lookup(t.type, t.command, t.flags);
        if (!forward) return true;
        const VekTelegram forwarded(t);
        telegrams.pop_front();
        forward(&forwarded);
    }
}

void VekProtocolHandler::flushInput() {
    if (channelOpen()) {
        char buffer[kReadChunk];
        while (channel_->read(buffer, kReadChunk) > 0) {
        }
    }
    byteQueue_.clear();
    parser_.reset();
}

void VekProtocolHandler::registerForward(int type, int command, int flags, ForwardCallback callback) {
    forwards_.add(type, command, flags, std::move(callback));
}

void VekProtocolHandler::setDefaultTimeout(float seconds) {
    if (seconds > 0) defaultTimeout_ = seconds;
}

// The pause of a poll cycle in which nothing arrived for the caller. Waiting
// on the channel notices an answer the moment it comes, and the process
// sleeps in the kernel meanwhile; the timed sleep is for channels that cannot
// wait, and bounds the load the same way.
void VekProtocolHandler::idleStep() {
    if (idleCallback_) idleCallback_();
    if (!sleepNextIdleStep_ && channel_ != nullptr) {
        const int woken = channel_->waitForInput(kIdleStepMs);
        if (woken != Channel::kCannotWait) {
            wokeByChannel_ = woken > 0;
            return;
        }
    }
    sleepNextIdleStep_ = false;
    answerTimer_.wait(kIdleStepSeconds);
}

}  // namespace vek
