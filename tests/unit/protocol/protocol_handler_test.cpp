#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "fake_tick_clock.h"
#include "protocol/errors.h"
#include "protocol/protocol_handler.h"
#include "scripted_channel.h"

namespace vek {
namespace {

using test::FakeTickClock;
using test::ScriptedChannel;

constexpr int kPing = 127;

ByteVector frame(int type, int command, int flags, const ByteVector& payload) {
    ByteVector out;
    EXPECT_EQ(buildFrame(out, type, command, flags, payload), 0);
    return out;
}

// The device's answer for a variant, with flag bits 6..5 as given.
ByteVector answer(int variant, int command, const ByteVector& payload = {0}, int bits = 0x20) {
    return frame(typeForVariant(variant), command, answerFlagsForVariant(variant) | bits, payload);
}

ByteVector operator+(ByteVector a, const ByteVector& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TgRequest ping(int variant) { return TgRequest{kPing, static_cast<std::uint8_t>(variant), {0x00}}; }

class HandlerTest : public ::testing::Test {
protected:
    HandlerTest() {
        handler.setChannel(&channel);
        handler.setIdleCallback([this] { ++idleSteps; });
    }

    // Every written frame is answered with these bytes, in one read.
    void answerEachWriteWith(const ByteVector& bytes) {
        channel.onWrite = [this, bytes](const ByteVector&) { channel.arrive(bytes); };
    }

    std::int64_t elapsedMs() const { return clock.now - startTicks; }

    FakeTickClock clock;
    const std::int64_t startTicks = clock.now;
    ScriptedChannel channel;
    VekProtocolHandler handler{clock, [this] { return clock.now * 1000; }};
    int idleSteps = 0;
};

TEST_F(HandlerTest, ClosedChannelFailsBeforeAnyWaitOrWrite) {
    channel.connected = false;
    EXPECT_THROW(handler.waitForAnswer(4, kPing, 0), NoConnection);
    EXPECT_THROW(handler.request(ping(1)), NoConnection);
    EXPECT_THROW(handler.request(ping(1), true), NoConnection);
    EXPECT_THROW(handler.query(126, 1), NoConnection);
    EXPECT_THROW(handler.sendRaw(4, kPing, 0, nullptr, 0), NoConnection);
    EXPECT_TRUE(channel.written.empty());
    EXPECT_EQ(channel.reads, 0);
    EXPECT_EQ(clock.sleeps, 0);

    VekProtocolHandler unconnected(clock);
    EXPECT_THROW(unconnected.request(ping(1)), NoConnection);
    EXPECT_THROW(unconnected.waitForAnswer(-1, -1, 0), NoConnection);
}

TEST_F(HandlerTest, RequestsAndQueriesCarryTheVariantsTypeAndFlags) {
    answerEachWriteWith(answer(1, kPing));
    handler.request(ping(1));
    // The bootloader ping as it goes on the wire.
    EXPECT_EQ(channel.written.back(), (ByteVector{0x56, 0x45, 0x4B, 0x34, 0x7F, 0x60, 0x01, 0x00, 0xCC, 0x41}));

    answerEachWriteWith(answer(0, 28));
    handler.request(TgRequest{28, 0, {0x06, 0x00, 0x00, 0x00}});
    EXPECT_EQ(channel.written.back(), frame(3, 28, 0x60, {0x06, 0x00, 0x00, 0x00}));

    answerEachWriteWith(answer(2, kPing));
    handler.request(ping(2));
    EXPECT_EQ(channel.written.back(), frame(5, kPing, 0xE0, {0x00}));

    answerEachWriteWith(answer(1, 126, {0x68, 0x20, 0xF0, 0x01}, 0x00));
    const VekTelegram id = handler.query(126, 1);
    EXPECT_EQ(channel.written.back(), (ByteVector{0x56, 0x45, 0x4B, 0x34, 0x7E, 0x00, 0x00, 0x4B, 0xEB}));
    EXPECT_EQ(id.type, 4);
    EXPECT_EQ(id.command, 126);
    EXPECT_EQ(id.flags, 0x80);
    EXPECT_EQ(id.data, (ByteVector{0x68, 0x20, 0xF0, 0x01}));

    answerEachWriteWith(answer(2, 9, {1, 2}));
    handler.queryRequest(TgRequest{9, 2, {7}});
    EXPECT_EQ(channel.written.back(), frame(5, 9, 0x80, {7}));
    EXPECT_EQ(handler.queryWith(9, 2, {8}).data, (ByteVector{1, 2}));
    EXPECT_EQ(channel.written.back(), frame(5, 9, 0x80, {8}));
    EXPECT_LT(elapsedMs(), 50);  // every answer was taken without waiting out a time-out
}

TEST_F(HandlerTest, NoAnswerTimesOutAfterTheDefaultTimeout) {
    EXPECT_THROW(handler.request(ping(1)), Timeout);
    EXPECT_GE(elapsedMs(), 1000);
    EXPECT_LE(elapsedMs(), 1000 + 11);
    // One read of at most 500 bytes and one idle step per poll cycle; the
    // channel cannot wait, so every step slept on the clock.
    EXPECT_EQ(channel.lastCapacity, 500);
    EXPECT_EQ(channel.reads, idleSteps);
    EXPECT_GE(idleSteps, 90);
    EXPECT_EQ(channel.waitBounds.size(), static_cast<std::size_t>(idleSteps));
    EXPECT_GE(clock.sleeps, 10 * idleSteps);

    handler.setDefaultTimeout(0.0f);
    handler.setDefaultTimeout(-1.0f);
    EXPECT_FLOAT_EQ(handler.defaultTimeout(), 1.0f);
    handler.setDefaultTimeout(0.25f);
    const auto before = clock.now;
    EXPECT_THROW(handler.waitForAnswer(4, kPing, 0), Timeout);
    EXPECT_NEAR(static_cast<double>(clock.now - before), 250, 11);
    const auto before2 = clock.now;
    EXPECT_THROW(handler.waitForAnswer(4, kPing, 0.5f), Timeout);
    EXPECT_NEAR(static_cast<double>(clock.now - before2), 500, 11);

    handler.setIdleCallback(nullptr);
    const int steps = idleSteps;
    EXPECT_THROW(handler.waitForAnswer(4, kPing, 0.05f), Timeout);
    EXPECT_EQ(idleSteps, steps);
}

TEST_F(HandlerTest, IdleStepsWaitOnAChannelThatCanWaitAndEndWhenBytesArrive) {
    // Nothing arrives: every idle step waits 10 ms on the channel, none sleeps.
    channel.onWait = [this](int milliseconds) {
        clock.now += milliseconds;
        return 0;
    };
    EXPECT_THROW(handler.request(ping(1)), Timeout);
    EXPECT_GE(elapsedMs(), 1000);
    EXPECT_LE(elapsedMs(), 1000 + 10);
    EXPECT_EQ(clock.sleeps, 0);
    EXPECT_EQ(channel.waitBounds.size(), static_cast<std::size_t>(idleSteps));
    EXPECT_EQ(std::count(channel.waitBounds.begin(), channel.waitBounds.end(), 10), idleSteps);

    // The answer comes 3 ms into the third wait and is taken at once.
    int waits = 0;
    channel.onWait = [&](int milliseconds) {
        if (++waits < 3) {
            clock.now += milliseconds;
            return 0;
        }
        clock.now += 3;
        channel.arrive(answer(1, kPing));
        return 1;
    };
    const std::int64_t before = clock.now;
    handler.request(ping(1));
    EXPECT_EQ(clock.now - before, 23);
    EXPECT_EQ(clock.sleeps, 0);
}

TEST_F(HandlerTest, AWakeUpThatBringsNothingIsFollowedByASleep) {
    // A line that signals for ever without bytes (hung up): after every
    // fruitless wake-up the next idle step sleeps, so the loop never spins.
    int waits = 0;
    channel.onWait = [&](int) {
        if (++waits > 100000) clock.now += 1000;  // ends the test should the loop spin
        return 1;
    };
    EXPECT_THROW(handler.request(ping(1)), Timeout);
    EXPECT_GE(elapsedMs(), 1000);
    EXPECT_LT(waits, 200);
    EXPECT_NEAR(waits, idleSteps / 2, 1);
}

TEST(HandlerRealClock, NoAnswerTimesOutAfterAboutOneSecond) {
    ScriptedChannel channel;
    VekProtocolHandler handler;
    handler.setChannel(&channel);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(handler.request(ping(1)), Timeout);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took.count(), 0.99);  // the timer counts whole milliseconds
    EXPECT_LT(took.count(), 3.0);  // generous: a loaded machine sleeps longer
    EXPECT_GE(channel.reads, 10);
    EXPECT_LE(channel.reads, 101);  // at least 10 ms between polls
}

TEST_F(HandlerTest, FailedOrShortWriteIsAWriteErrorAtOnce) {
    channel.writeResult = [](int) { return -1; };
    EXPECT_THROW(handler.request(ping(1)), WriteError);
    channel.writeResult = [](int length) { return length - 1; };
    EXPECT_THROW(handler.query(126, 1), WriteError);
    EXPECT_THROW(handler.sendRaw(4, kPing, 0x60, "\0", 1), WriteError);
    EXPECT_EQ(channel.reads, 0);
    EXPECT_EQ(clock.sleeps, 0);

    // Frames that cannot be built never reach the channel.
    channel.writeResult = nullptr;
    channel.written.clear();
    EXPECT_THROW(handler.sendRaw(7, kPing, 0, nullptr, 0), WriteError);
    EXPECT_THROW(handler.request(TgRequest{kPing, 1, ByteVector(kMaxPayloadLength + 1)}), WriteError);
    EXPECT_TRUE(channel.written.empty());

    handler.sendRaw(4, kPing, 0x60, "\0", 1);
    EXPECT_EQ(channel.written.back(), frame(4, kPing, 0x60, {0}));
}

TEST_F(HandlerTest, CorruptedAnswerIsACrcErrorNotATimeout) {
    ByteVector bad = answer(1, kPing, {0x00, 0x01});
    bad[8] ^= 0x10;
    answerEachWriteWith(bad);
    EXPECT_THROW(handler.request(ping(1)), CRCError);
    EXPECT_LT(elapsedMs(), 50);

    // A corrupted answer to another command is just dropped.
    bad = answer(1, 3);
    bad[7] ^= 0x10;
    answerEachWriteWith(bad + answer(1, kPing));
    EXPECT_NO_THROW(handler.request(ping(1)));
}

TEST_F(HandlerTest, ErrorAnswerOfTheAwaitedTypeIsReportedOtherTypesAreDropped) {
    answerEachWriteWith(answer(1, 255, {0x05}));
    try {
        handler.request(ping(1));
        FAIL() << "no error answer reported";
    } catch (const ErrorObject& e) {
        EXPECT_EQ(e.deviceCode, 5);
    }

    answerEachWriteWith(answer(1, 255, {200, 1}));
    try {
        handler.query(kPing, 1);
        FAIL();
    } catch (const ErrorObject& e) {
        EXPECT_EQ(static_cast<int>(e.deviceCode), 200);
    }

    // No payload: no device code to report.
    answerEachWriteWith(answer(1, 255, {}));
    try {
        handler.request(ping(1));
        FAIL();
    } catch (const ErrorObject& e) {
        EXPECT_EQ(e.deviceCode, 0);
    }

    ByteVector bad = answer(1, 255, {0x05});
    bad.back() ^= 0x01;
    answerEachWriteWith(bad);
    EXPECT_THROW(handler.request(ping(1)), CRCError);

    // The application's error answer (type 3) while the bootloader is awaited.
    answerEachWriteWith(answer(0, 255, {0x05}));
    EXPECT_THROW(handler.request(ping(1)), Timeout);
    answerEachWriteWith(answer(0, 255, {0x05}) + answer(1, kPing));
    EXPECT_NO_THROW(handler.request(ping(1)));
}

TEST_F(HandlerTest, UnexpectedFlagBitsFailARequestButNotAQuery) {
    answerEachWriteWith(answer(1, kPing, {0}, 0x40));
    try {
        handler.request(ping(1));
        FAIL() << "flag bits 0x40 accepted";
    } catch (const WrongAnswer& e) {
        EXPECT_EQ(e.command, kPing);
        EXPECT_EQ(e.flagBits, 0x40);
    }
    const VekTelegram t = handler.query(kPing, 1);
    EXPECT_EQ(t.flags, 0xC0);

    for (int bits : {0x00, 0x60}) {
        answerEachWriteWith(answer(1, kPing, {0}, bits));
        EXPECT_THROW(handler.request(ping(1)), WrongAnswer) << bits;
    }
}

TEST_F(HandlerTest, RequestDirectionTelegramsNeverMatch) {
    // An echo of the request itself: right type, command and check value.
    channel.onWrite = [this](const ByteVector& written) { channel.arrive(written); };
    EXPECT_THROW(handler.request(ping(1)), Timeout);
    EXPECT_THROW(handler.query(kPing, 2), Timeout);

    // Also when it queues up behind a telegram the handler could not take.
    ByteVector bad = answer(1, 3);
    bad.back() ^= 0x01;
    answerEachWriteWith(bad + frame(4, kPing, 0x60, {0}));
    EXPECT_THROW(handler.request(ping(1)), Timeout);
}

TEST_F(HandlerTest, TwoAnswersInOneReadAreTakenOneAtATime) {
    channel.arrive(answer(1, kPing, {1}) + answer(1, kPing, {2}));
    EXPECT_EQ(handler.waitForAnswer(4, kPing, 0).data, ByteVector{1});
    const int reads = channel.reads;
    EXPECT_EQ(handler.waitForAnswer(4, kPing, 0).data, ByteVector{2});
    EXPECT_EQ(channel.reads, reads + 1);
    EXPECT_THROW(handler.waitForAnswer(4, kPing, 0), Timeout);
}

TEST_F(HandlerTest, NoWaitLeavesTheAnswerForTheNextWait) {
    answerEachWriteWith(answer(1, kPing, {9}));
    handler.request(ping(1), true);
    EXPECT_EQ(channel.reads, 0);
    EXPECT_EQ(clock.sleeps, 0);
    // The next wait for the same command takes it ...
    EXPECT_EQ(handler.waitForAnswer(4, kPing, 0).data, ByteVector{9});

    // ... a wait for another command drops it and waits on.
    handler.request(ping(1), true);
    channel.onWrite = nullptr;
    EXPECT_THROW(handler.waitForAnswer(4, 126, 0), Timeout);
    EXPECT_THROW(handler.waitForAnswer(4, kPing, 0.1f), Timeout);
}

TEST_F(HandlerTest, ForwardedTelegramsGoToTheirCallback) {
    std::vector<VekTelegram> forwarded;
    handler.registerForward(4, 5, -1, [&](const VekTelegram* t) { forwarded.push_back(*t); });
    answerEachWriteWith(answer(1, 5, {0x11}) + answer(1, 6, {0x22}) + answer(1, kPing));
    handler.request(ping(1));
    ASSERT_EQ(forwarded.size(), 1u);
    EXPECT_EQ(forwarded[0].command, 5);
    EXPECT_EQ(forwarded[0].data, ByteVector{0x11});

    TgForwardList list;
    int calledF = 0, calledG = 0;
    list.add(4, 5, 0x80, [&](const VekTelegram*) { ++calledF; });
    list.add(-1, 5, -1, [&](const VekTelegram*) { ++calledG; });
    ASSERT_EQ(list.rules().size(), 1u);
    EXPECT_EQ(list.rules()[0].type, 4);
    EXPECT_EQ(list.rules()[0].command, 5);
    EXPECT_EQ(list.rules()[0].flags, 0x80);
    list.lookup(4, 5, 0x80)(nullptr);
    EXPECT_EQ(calledF, 0);
    EXPECT_EQ(calledG, 1);
    EXPECT_EQ(list.find(3, 5, 0x80), -1);
    EXPECT_EQ(list.find(-1, -1, -1), 0);
    EXPECT_FALSE(list.lookup(4, 6, 0x80));
    list.add(4, 6, 0x80, nullptr);
    EXPECT_EQ(list.rules().size(), 2u);
}

TEST_F(HandlerTest, ATelegramCutShortIsAbandonedAfterSilence) {
    const ByteVector full = answer(1, kPing, {1, 2, 3, 4});
    channel.arrive(ByteVector(full.begin(), full.end() - 3));
    EXPECT_THROW(handler.request(ping(1)), Timeout);
    // Without the silence rule the next answer would complete the old one.
    answerEachWriteWith(answer(1, kPing, {5}));
    handler.request(ping(1));
    EXPECT_LT(clock.now - startTicks, 1100);
}

TEST_F(HandlerTest, FlushInputDiscardsUnreadAndPartlyParsedBytes) {
    const ByteVector full = answer(1, kPing, {1, 2, 3, 4});
    channel.arrive(ByteVector(full.begin(), full.begin() + 8));
    handler.receive(kPing);
    channel.arrive(ByteVector(full.begin() + 8, full.end()) + answer(1, kPing, {7}));
    handler.flushInput();
    EXPECT_TRUE(channel.chunks.empty());
    EXPECT_THROW(handler.waitForAnswer(4, kPing, 0.1f), Timeout);

    channel.arrive(ByteVector(full.begin(), full.begin() + 8));
    handler.receive(kPing);
    handler.flushInput();
    channel.arrive(answer(1, kPing, {7}));
    EXPECT_EQ(handler.waitForAnswer(4, kPing, 0).data, ByteVector{7});
}

}  // namespace
}  // namespace vek
