#include <gtest/gtest.h>

#include <string>

#include "protocol/telegram.h"
#include "protocol/telegram_parser.h"

namespace vek {
namespace {

class TelegramParserTest : public ::testing::Test {
protected:
    // Feeds all bytes; returns how many of them completed a telegram.
    int feed(const ByteVector& bytes) {
        int completed = 0;
        for (std::uint8_t b : bytes) completed += parser.feed(b) ? 1 : 0;
        return completed;
    }
    int feed(const std::string& text) { return feed(ByteVector(text.begin(), text.end())); }

    static ByteVector frame(int type, int command, int flags, const ByteVector& payload) {
        ByteVector out;
        EXPECT_EQ(buildFrame(out, type, command, flags, payload), 0);
        return out;
    }

    std::int64_t now = 5000000;
    TelegramParser parser{[this] { return now; }};
};

TEST_F(TelegramParserTest, ParsesAFrameWithAllFields) {
    const ByteVector bytes = frame(4, 127, 0xA0, {1, 2, 3});
    EXPECT_EQ(feed(ByteVector(bytes.begin(), bytes.end() - 1)), 0);
    EXPECT_EQ(parser.state(), 9);
    EXPECT_TRUE(parser.feed(bytes.back()));
    EXPECT_EQ(parser.state(), 0);

    ASSERT_EQ(parser.telegrams().size(), 1u);
    const ReceivedTelegram& t = parser.telegrams().front();
    EXPECT_TRUE(std::equal(t.header.begin(), t.header.end(), bytes.begin()));
    EXPECT_EQ(t.data, (ByteVector{1, 2, 3}));
    EXPECT_EQ(t.checkFirst, bytes[10]);
    EXPECT_EQ(t.checkSecond, bytes[11]);
    EXPECT_EQ(t.type, 4);
    EXPECT_EQ(t.command, 127);
    EXPECT_EQ(t.flags, 0xA0);
    EXPECT_EQ(t.length, 3);
    EXPECT_TRUE(checkTelegram(t));
}

TEST_F(TelegramParserTest, HuntsForTheStartMark) {
    // A doubled 'V' does not synchronise: the second one is dropped and the
    // "EK" after it are ignored.
    feed("V");
    EXPECT_EQ(parser.state(), 1);
    feed("V");
    EXPECT_EQ(parser.state(), 0);
    feed("EK4");
    EXPECT_EQ(parser.state(), 0);

    // A bad type digit goes back to hunting without queuing anything.
    feed("VEK6");
    EXPECT_EQ(parser.state(), 0);
    // Hunting resumes after a broken start mark.
    feed("xx VE!");
    EXPECT_EQ(feed(frame(3, 1, 0x80, {9})), 1);
    ASSERT_EQ(parser.telegrams().size(), 1u);
    EXPECT_EQ(parser.telegrams().front().data, ByteVector{9});
}

TEST_F(TelegramParserTest, PayloadIsTakenByLengthEvenWhenItHoldsTheStartMark) {
    const ByteVector inner = frame(4, 2, 0x80, {});
    // "VEK" and then a whole frame, inside the payload.
    ByteVector payload = inner;
    payload.insert(payload.begin(), inner.begin(), inner.begin() + 3);
    EXPECT_EQ(feed(frame(4, 1, 0x80, payload)), 1);
    ASSERT_EQ(parser.telegrams().size(), 1u);
    EXPECT_EQ(parser.telegrams().front().command, 1);
    EXPECT_EQ(parser.telegrams().front().data, payload);
}

TEST_F(TelegramParserTest, ZeroLengthAndMaximumLength) {
    feed(ByteVector{'V', 'E', 'K', '4', 126, 0x00});
    EXPECT_TRUE(parser.feed(0x00) == false && parser.state() == 8);
    feed(ByteVector{0x4B, 0xEB});
    ASSERT_EQ(parser.telegrams().size(), 1u);
    EXPECT_TRUE(parser.telegrams().front().data.empty());
    EXPECT_TRUE(checkTelegram(parser.telegrams().front()));

    feed(ByteVector{'V', 'E', 'K', '5', 1, 0xFF, 0xFF});
    EXPECT_EQ(parser.state(), 7);
    feed(ByteVector(8191, 0));
    EXPECT_EQ(parser.state(), 8);
    feed(ByteVector{0, 0});
    ASSERT_EQ(parser.telegrams().size(), 2u);
    EXPECT_EQ(parser.telegrams().back().flags, 0xE0);
    EXPECT_EQ(parser.telegrams().back().length, 8191);
    EXPECT_EQ(parser.telegrams().back().data.size(), 8191u);
}

TEST_F(TelegramParserTest, CorruptedFrameIsStillQueued) {
    ByteVector bytes = frame(4, 127, 0xA0, {1, 2});
    bytes.back() ^= 0xFF;
    EXPECT_EQ(feed(bytes), 1);
    ASSERT_EQ(parser.telegrams().size(), 1u);
    EXPECT_FALSE(checkTelegram(parser.telegrams().front()));
}

TEST_F(TelegramParserTest, GapRuleFiresOnlyWhileTheParserIsInUse) {
    const ByteVector bytes = frame(4, 127, 0xA0, {1, 2});
    const ByteVector head(bytes.begin(), bytes.begin() + 5);
    const ByteVector tail(bytes.begin() + 5, bytes.end());

    // Polled all along, silent for more than 0.5 s: the partial frame goes.
    feed(head);
    for (int i = 0; i < 5; ++i) {
        now += 100000;
        parser.poll();
    }
    EXPECT_EQ(parser.state(), 5);  // exactly 0.5 s: still kept
    now += 1;
    parser.poll();
    EXPECT_EQ(parser.state(), 0);
    EXPECT_EQ(feed(tail), 0);

    // Nobody fed or polled during the pause: it says nothing about the line.
    feed(head);
    now += 3000000;
    EXPECT_EQ(feed(tail), 1);

    // Bytes fed slowly without polls never trip the rule either.
    for (std::uint8_t b : bytes) {
        now += 700000;
        parser.feed(b);
    }
    EXPECT_EQ(parser.telegrams().size(), 2u);

    // Polled, then a late byte: it starts nothing new but the hunt resumes.
    feed(head);
    now += 400000;
    parser.poll();
    now += 200000;
    EXPECT_EQ(feed(tail), 0);
    EXPECT_EQ(parser.telegrams().size(), 2u);
    EXPECT_EQ(feed(bytes), 1);
}

TEST_F(TelegramParserTest, ResetDropsOnlyThePartialFrame) {
    const ByteVector bytes = frame(3, 5, 0x80, {1});
    feed(bytes);
    feed(ByteVector(bytes.begin(), bytes.begin() + 6));
    parser.reset();
    EXPECT_EQ(parser.state(), 0);
    EXPECT_EQ(parser.telegrams().size(), 1u);
    EXPECT_EQ(feed(bytes), 1);
}

}  // namespace
}  // namespace vek
