#pragma once

// Request frames as the updater sends them and a reader for the answers, for
// driving the simulated detector without a line.

#include <gtest/gtest.h>

#include <vector>

#include "protocol/telegram.h"
#include "protocol/telegram_parser.h"
#include "tools/devsim/device_model.h"

namespace vek::devsim::test {

inline ByteVector frame(int type, int command, int flags, const ByteVector& payload = {}) {
    ByteVector out;
    EXPECT_EQ(buildFrame(out, type, command, flags, payload), 0);
    return out;
}

inline ByteVector appPing() { return frame(3, 127, 0x60, {0x00}); }
inline ByteVector enterBootloader() { return frame(3, 28, 0x60, {0x06, 0x00, 0x00, 0x00}); }
inline ByteVector bootPing() { return frame(4, 127, 0x60, {0x00}); }
inline ByteVector identify() { return frame(4, 126, 0x00); }
inline ByteVector restart() { return frame(4, 127, 0x60, {0x07}); }

// The page transfer payload: data part (when data is given), program part
// and block-test part, addresses and lengths high byte first.
inline ByteVector pagePayload(std::uint32_t address, const ByteVector* data, std::uint16_t length) {
    ByteVector p;
    auto head = [&](std::uint8_t op, std::uint16_t count) {
        p.insert(p.end(), {op, static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
                           static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(count >> 8),
                           static_cast<std::uint8_t>(count)});
    };
    if (data) {
        head(0x09, length);
        p.insert(p.end(), data->begin(), data->begin() + length);
    }
    head(0x04, static_cast<std::uint16_t>(length / 2));
    head(0x08, length);
    p.push_back(0x00);
    return p;
}

inline ByteVector pageRequest(int page, const ByteVector* data, int pageSize = 256) {
    return frame(4, 127, 0x60,
                 pagePayload(static_cast<std::uint32_t>(page * pageSize), data, static_cast<std::uint16_t>(pageSize)));
}

// Every telegram in the answers' bytes, in order.
inline std::vector<ReceivedTelegram> telegramsIn(const std::vector<Outgoing>& answers) {
    TelegramParser parser;
    for (const Outgoing& answer : answers) {
        for (std::uint8_t byte : answer.bytes) parser.feed(byte);
    }
    return {parser.telegrams().begin(), parser.telegrams().end()};
}

// Feeds one request and returns the single answer it must produce.
inline ReceivedTelegram answerTo(DeviceModel& device, const ByteVector& request) {
    const std::vector<ReceivedTelegram> answers = telegramsIn(device.receive(request));
    EXPECT_EQ(answers.size(), 1u);
    return answers.empty() ? ReceivedTelegram{} : answers.front();
}

inline ByteVector pattern(int seed, int length = 256) {
    ByteVector bytes(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(seed * 31 + i * 7 + 1);
    return bytes;
}

}  // namespace vek::devsim::test
