#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "protocol/errors.h"
#include "protocol/telegram.h"

namespace vek {
namespace {

ByteVector frame(int type, int command, int flags, const ByteVector& payload) {
    ByteVector out;
    EXPECT_EQ(buildFrame(out, type, command, flags, payload), 0);
    return out;
}

// The frame as the receive side would have collected it.
ReceivedTelegram received(const ByteVector& frame) {
    ReceivedTelegram t;
    std::copy(frame.begin(), frame.begin() + kHeaderLength, t.header.begin());
    t.data.assign(frame.begin() + kHeaderLength, frame.end() - kCheckLength);
    t.checkFirst = frame[frame.size() - 2];
    t.checkSecond = frame[frame.size() - 1];
    t.type = frame[3] - '0';
    t.command = frame[4];
    t.flags = frame[5] & 0xE0;
    t.length = static_cast<int>(t.data.size());
    return t;
}

TEST(Checks, KnownValues) {
    const char* digits = "123456789";
    EXPECT_EQ(crc16(digits, 9, kCrc16Start), 0x29B1);
    EXPECT_EQ(crc16("abc", 3, kCrc16Start), 0x514A);
    EXPECT_EQ(crc16(nullptr, -1, 0x1234), 0xFFFF);

    const std::uint8_t zero = 0;
    EXPECT_EQ(sum16(nullptr, 0, kSum16Start), 0x1834);
    EXPECT_EQ(sum16(&zero, 1, kSum16Start), 0x259C);
    EXPECT_EQ(sum16("abc", 3, kSum16Start), 0x1BBF);
    EXPECT_EQ(sum16(digits, 9, kSum16Start), 0x1F66);
    EXPECT_EQ(sum16(nullptr, -5, 0), 0x1834);

    // Both continue from a partial result.
    EXPECT_EQ(crc16(digits + 4, 5, crc16(digits, 4, kCrc16Start)), 0x29B1);
    EXPECT_EQ(sum16(digits + 4, 5, sum16(digits, 4, kSum16Start)), 0x1F66);
}

TEST(BuildFrame, ExampleFrames) {
    EXPECT_EQ(frame(4, 127, 0x60, {0x00}), (ByteVector{0x56, 0x45, 0x4B, 0x34, 0x7F, 0x60, 0x01, 0x00, 0xCC, 0x41}));
    EXPECT_EQ(frame(3, 127, 0x60, {0x00}), (ByteVector{0x56, 0x45, 0x4B, 0x33, 0x7F, 0x60, 0x01, 0x00, 0x3F, 0x36}));
    EXPECT_EQ(frame(4, 126, 0x00, {}), (ByteVector{0x56, 0x45, 0x4B, 0x34, 0x7E, 0x00, 0x00, 0x4B, 0xEB}));
    EXPECT_EQ(frame(5, 127, 0xE0, {0x00}), (ByteVector{0x56, 0x45, 0x4B, 0x35, 0x7F, 0xE0, 0x01, 0x00, 0x5D, 0x4A}));

    ByteVector out;
    const std::uint8_t payload = 0;
    EXPECT_EQ(buildFrame(out, 4, 127, 0x60, &payload, 1), 0);
    EXPECT_EQ(out, frame(4, 127, 0x60, {0x00}));
}

TEST(BuildFrame, LengthFieldSpansThirteenBits) {
    const ByteVector payload(kMaxPayloadLength, 0x5A);
    const ByteVector out = frame(4, 1, 0xE0, payload);
    ASSERT_EQ(out.size(), payload.size() + 9);
    EXPECT_EQ(out[5], 0xFF);
    EXPECT_EQ(out[6], 0xFF);
    EXPECT_TRUE(checkTelegram(received(out)));
}

TEST(BuildFrame, RejectsWhatTheFrameCannotCarry) {
    ByteVector out{1, 2, 3};
    EXPECT_EQ(buildFrame(out, 7, 127, 0, ByteVector{0}), -1);
    EXPECT_EQ(buildFrame(out, 2, 127, 0, ByteVector{0}), -1);
    // Too long for the length field: never truncated into a wrong frame.
    EXPECT_EQ(buildFrame(out, 4, 127, 0, ByteVector(kMaxPayloadLength + 1)), -1);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(buildFrame(out, 4, 127, 0, nullptr, 1), -1);
    EXPECT_EQ(buildFrame(out, 4, 127, 0, nullptr, -1), -1);
    EXPECT_EQ(buildFrame(out, 4, 127, 0, nullptr, 0), 0);
}

TEST(CheckTelegram, AcceptsGoodFramesAndRejectsAnyChangedByte) {
    for (int type : {3, 4, 5}) {
        const ByteVector good = frame(type, 255, 0x80, {0x05, 'V', 'E', 'K'});
        EXPECT_TRUE(checkTelegram(received(good))) << type;
        for (std::size_t i = 4; i < good.size(); ++i) {
            ByteVector bad = good;
            bad[i] ^= 0x01;
            EXPECT_FALSE(checkTelegram(received(bad))) << "type " << type << " byte " << i;
        }
    }
    ReceivedTelegram other = received(frame(4, 1, 0, {}));
    other.type = 6;
    EXPECT_FALSE(checkTelegram(other));
}

TEST(Variants, RequestsAndAnswersTravelInOppositeDirections) {
    const int types[] = {3, 4, 5, 3};
    for (int variant : {0, 1, 2, 9}) {
        const int type = typeForVariant(variant);
        EXPECT_EQ(type, types[variant == 9 ? 3 : variant]);
        EXPECT_EQ(requestFlagsForVariant(variant) ^ answerFlagsForVariant(variant), 0x80);
        EXPECT_TRUE(isRequestDirection(type, requestFlagsForVariant(variant) | 0x60)) << variant;
        EXPECT_FALSE(isRequestDirection(type, answerFlagsForVariant(variant) | 0x20)) << variant;
    }
    EXPECT_EQ(requestFlagsForVariant(2), 0x80);
    EXPECT_FALSE(isRequestDirection(6, 0x00));
}

TEST(VekTelegramTest, DefaultAndFromReceived) {
    const VekTelegram empty;
    EXPECT_EQ(empty.type, 0);
    EXPECT_EQ(empty.command, 0);
    EXPECT_EQ(empty.flags, 0);
    EXPECT_TRUE(empty.data.empty());
    EXPECT_NEAR(static_cast<double>(empty.timestamp), static_cast<double>(std::time(nullptr)), 2.0);

    const VekTelegram t(received(frame(4, 255, 0xA0, {7, 8})));
    EXPECT_EQ(t.type, 4);
    EXPECT_EQ(t.command, 255);
    EXPECT_EQ(t.flags, 0xA0);
    EXPECT_EQ(t.data, (ByteVector{7, 8}));
}

TEST(Identification, DecodesTheThreeForms) {
    T3xx_Telegram_126 id;
    EXPECT_EQ(id.command, 126);
    EXPECT_EQ(id.type, 0);

    id.parse({0x0A, 0x01, 0x08, 0x2C, 0x01, 0x00, 'A', 'B', 'C', 'D', 'E'});
    EXPECT_EQ(id.version, 266);
    EXPECT_EQ(id.pageSizeUnits, 8);
    EXPECT_EQ(id.pageCount, 300);
    EXPECT_EQ(id.extra, 0);
    EXPECT_STREQ(id.text.data(), "ABCDE");

    id.parse({0x68, 0x20, 0xF0, 0x01, 'v', '1', '.', '0', '4'});
    EXPECT_EQ(id.version, 0x68);
    EXPECT_EQ(id.pageSizeUnits, 32);
    EXPECT_EQ(id.pageCount, 496);
    EXPECT_STREQ(id.text.data(), "v1.04");

    id.parse({0x5A, 0x10, 0x00, 0x02});
    EXPECT_EQ(id.version, 90);
    EXPECT_EQ(id.pageSizeUnits, 16);
    EXPECT_EQ(id.pageCount, 512);
    EXPECT_EQ(id.extra, 0);
    EXPECT_STREQ(id.text.data(), "");
}

TEST(Identification, OtherLengthsThrowAndLeaveTheFields) {
    T3xx_Telegram_126 id;
    id.parse({0x5A, 0x10, 0x00, 0x02});
    for (std::size_t length : {0, 3, 5, 10, 12}) {
        EXPECT_THROW(id.parse(ByteVector(length, 0xFF)), TgParseError) << length;
    }
    EXPECT_EQ(id.version, 90);
    EXPECT_EQ(id.pageCount, 512);
}

TEST(Identification, PayloadFormsReadBack) {
    T3xx_Telegram_126 sent;
    sent.version = 0x0168;
    sent.pageSizeUnits = 32;
    sent.pageCount = 1008;
    sent.extra = 3;
    std::memcpy(sent.text.data(), "T320B", 5);
    for (int length : {11, 9, 4}) {
        const ByteVector payload = sent.toPayload(length);
        ASSERT_EQ(payload.size(), static_cast<std::size_t>(length));
        T3xx_Telegram_126 got;
        got.parse(payload);
        EXPECT_EQ(got.version, length == 11 ? 0x0168 : 0x68);
        EXPECT_EQ(got.pageSizeUnits, 32);
        EXPECT_EQ(got.pageCount, 1008);
        EXPECT_EQ(got.extra, length == 11 ? 3 : 0);
        EXPECT_EQ(std::string(got.text.data()), length == 4 ? "" : "T320B");
    }
    EXPECT_THROW(sent.toPayload(5), std::invalid_argument);
}

}  // namespace
}  // namespace vek
