#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "frames.h"
#include "tools/devsim/device_model.h"

namespace vek::devsim {
namespace {

using namespace test;

void expectPositive(const ReceivedTelegram& answer, int type, int command) {
    EXPECT_TRUE(checkTelegram(answer));
    EXPECT_EQ(answer.type, type);
    EXPECT_EQ(answer.command, command);
    EXPECT_EQ(answer.flags, 0xA0);  // answer direction, positive
}

void expectError(const ReceivedTelegram& answer, int type, std::uint8_t code) {
    EXPECT_TRUE(checkTelegram(answer));
    EXPECT_EQ(answer.type, type);
    EXPECT_EQ(answer.command, 255);
    EXPECT_EQ(answer.flags & 0x80, 0x80);
    EXPECT_EQ(answer.data, ByteVector{code});
}

DeviceConfig inBootloader(DeviceConfig config = {}) {
    config.startInBootloader = true;
    return config;
}

TEST(DeviceApplication, PingGetsErrorAnswerAndBootloaderFramesAreIgnored) {
    DeviceModel device;
    expectError(answerTo(device, appPing()), 3, device_code::kUnknownCommand);
    EXPECT_TRUE(device.receive(bootPing()).empty());
    EXPECT_TRUE(device.receive(identify()).empty());
    EXPECT_EQ(device.mode(), DeviceModel::Mode::Application);
    EXPECT_EQ(device.report().ignoredFrames, 2);
}

TEST(DeviceApplication, EnterBootloaderSwitchesModes) {
    DeviceModel device;
    expectPositive(answerTo(device, enterBootloader()), 3, 28);
    EXPECT_EQ(device.mode(), DeviceModel::Mode::Bootloader);
    // Now only type 4 is answered.
    EXPECT_TRUE(device.receive(appPing()).empty());
    expectPositive(answerTo(device, bootPing()), 4, 127);

    DeviceConfig quiet;
    quiet.answerEnterBootloader = false;
    DeviceModel unacknowledged(quiet);
    EXPECT_TRUE(unacknowledged.receive(enterBootloader()).empty());
    EXPECT_EQ(unacknowledged.mode(), DeviceModel::Mode::Bootloader);
}

TEST(DeviceApplication, MalformedEnterBootloaderIsRefused) {
    DeviceModel device;
    expectError(answerTo(device, frame(3, 28, 0x60, {0x06, 0x00})), 3, device_code::kBadRequest);
    EXPECT_EQ(device.mode(), DeviceModel::Mode::Application);
    expectError(answerTo(device, frame(3, 40, 0x60, {})), 3, device_code::kUnknownCommand);
}

TEST(DeviceBootloader, IdentificationInEachForm) {
    struct Case {
        Model model;
        int pages;
        int form;
        int version;
        std::uint16_t expectPages;
    };
    for (const Case& c : {Case{Model::T310, 0, 11, 104, 496}, Case{Model::T320, 0, 9, 105, 1008},
                          Case{Model::T310, 500, 4, 110, 500}}) {
        DeviceConfig config = inBootloader();
        config.model = c.model;
        config.pageCount = c.pages;
        config.identifyForm = c.form;
        config.bootloaderVersion = c.version;
        DeviceModel device(config);
        const ReceivedTelegram answer = answerTo(device, identify());
        expectPositive(answer, 4, 126);
        ASSERT_EQ(answer.data.size(), static_cast<std::size_t>(c.form));
        T3xx_Telegram_126 id;
        id.parse(answer.data);
        EXPECT_EQ(id.version, c.version);
        EXPECT_EQ(id.pageSizeUnits, 32);
        EXPECT_EQ(id.pageCount, c.expectPages);
        EXPECT_STREQ(id.text.data(), c.form == 4 ? "" : (c.model == Model::T320 ? "T320 " : "T310 "));
    }
}

TEST(DeviceBootloader, PageTransferProgramsAndTestsFlash) {
    DeviceModel device(inBootloader());
    const ByteVector data = pattern(3);
    expectPositive(answerTo(device, pageRequest(3, &data)), 4, 127);
    const ByteVector& flash = device.flash();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin() + 3 * 256));
    EXPECT_EQ(flash[3 * 256 - 1], 0xFF);  // neighbours untouched
    EXPECT_EQ(flash[4 * 256], 0xFF);
    const SimReport report = device.report();
    EXPECT_EQ(report.pageRequests, 1);
    EXPECT_EQ(report.programs, 1);
    EXPECT_EQ(report.pagePrograms.at(3), 1);
    EXPECT_EQ(report.blockTests, 1);
    EXPECT_EQ(report.requestsWithoutDataPart, 0);
}

TEST(DeviceBootloader, RequestWithoutDataPartProgramsThePageBufferAsItStands) {
    DeviceModel device(inBootloader());
    const ByteVector zeros(256, 0x00);
    expectPositive(answerTo(device, pageRequest(5, &zeros)), 4, 127);
    expectPositive(answerTo(device, pageRequest(6, nullptr)), 4, 127);
    EXPECT_TRUE(std::all_of(device.flash().begin() + 5 * 256, device.flash().begin() + 7 * 256,
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(device.report().requestsWithoutDataPart, 1);
}

TEST(DeviceBootloader, BlockTestComparesFlashWithThePageBuffer) {
    DeviceModel device(inBootloader());
    const ByteVector first = pattern(1);
    expectPositive(answerTo(device, pageRequest(1, &first)), 4, 127);
    // Block test of page 2 (still erased) against a buffer that holds page 1.
    ByteVector testOnly = {0x08, 0x00, 0x02, 0x00, 0x01, 0x00, 0x00};
    expectError(answerTo(device, frame(4, 127, 0x60, testOnly)), 4, device_code::kBlockTestFailed);
    EXPECT_EQ(device.report().blockTestsFailed, 1);
}

TEST(DeviceBootloader, MalformedPageTransfersAreRefusedWithoutSideEffects) {
    DeviceModel device(inBootloader());
    const ByteVector data = pattern(7);
    ByteVector good = pagePayload(0x700, &data, 256);
    const std::vector<std::pair<ByteVector, std::uint8_t>> cases = {
        {{}, device_code::kBadRequest},                                        // nothing to do
        {{0x05, 0x00, 0x07, 0x00, 0x01, 0x00}, device_code::kBadRequest},      // unknown operation
        {ByteVector(good.begin(), good.end() - 1), device_code::kBadRequest},  // block test cut short
        {{0x09, 0x00, 0x07, 0x00, 0x00, 0x02, 0xAA}, device_code::kBadRequest},  // data part shorter than its length
        {{0x08, 0x00, 0x07, 0x00, 0x01, 0x00, 0x01}, device_code::kBadRequest},  // block test without its 00
        {pagePayload(496 * 256, &data, 256), device_code::kOutOfRange},          // beyond the flash
        {pagePayload(0x780, &data, 256), device_code::kOutOfRange},              // across a page boundary
    };
    for (const auto& [payload, code] : cases) {
        expectError(answerTo(device, frame(4, 127, 0x60, payload)), 4, code);
    }
    EXPECT_TRUE(std::all_of(device.flash().begin(), device.flash().end(), [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(device.report().malformedRequests, static_cast<int>(cases.size()));
    EXPECT_EQ(device.report().programs, 0);
    expectError(answerTo(device, frame(4, 126, 0x00, {0x01})), 4, device_code::kBadRequest);
    expectError(answerTo(device, frame(4, 50, 0x60, {})), 4, device_code::kUnknownCommand);
}

TEST(DeviceBootloader, RestartReturnsToTheApplication) {
    DeviceModel device(inBootloader());
    expectPositive(answerTo(device, restart()), 4, 127);
    EXPECT_EQ(device.mode(), DeviceModel::Mode::Application);
    EXPECT_EQ(device.report().restarts, 1);
    EXPECT_EQ(device.report().modeAtExit, "application");
}

TEST(DeviceLine, BadChecksAndAnswerDirectionFramesAreNotAnswered) {
    DeviceModel device(inBootloader());
    ByteVector damaged = bootPing();
    damaged[7] ^= 0x01;
    EXPECT_TRUE(device.receive(damaged).empty());
    EXPECT_TRUE(device.receive(frame(4, 127, 0xA0, {0x00})).empty());  // looks like an answer
    EXPECT_TRUE(device.receive(frame(5, 127, 0xE0, {0x00})).empty());  // type 5: not spoken here
    const SimReport report = device.report();
    EXPECT_EQ(report.framesReceived, 3);
    EXPECT_EQ(report.badChecks, 1);
    EXPECT_EQ(report.ignoredFrames, 2);
    EXPECT_EQ(report.answersSent, 0);
}

TEST(DeviceLine, SeveralRequestsInOneChunkAnswerInOrderAfterTheirLastByte) {
    DeviceModel device(inBootloader());
    ByteVector both = bootPing();
    const ByteVector second = identify();
    both.insert(both.end(), second.begin(), second.end());
    const std::vector<Outgoing> out = device.receive(both);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].afterByte, bootPing().size() - 1);
    EXPECT_EQ(out[1].afterByte, both.size() - 1);
    const auto answers = telegramsIn(out);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].command, 127);
    EXPECT_EQ(answers[1].command, 126);
    EXPECT_EQ(device.report().bytesIn, static_cast<std::int64_t>(both.size()));
}

TEST(DeviceFaults, BlockTestFailsTheGivenNumberOfTimesWithWrongFlash) {
    DeviceModel device(inBootloader(), FaultPlan().failBlockTest(5, 2));
    const ByteVector data = pattern(5);
    for (int attempt = 0; attempt < 2; ++attempt) {
        expectError(answerTo(device, pageRequest(5, &data)), 4, device_code::kBlockTestFailed);
        EXPECT_FALSE(std::equal(data.begin(), data.end(), device.flash().begin() + 5 * 256));
    }
    expectPositive(answerTo(device, pageRequest(5, &data)), 4, 127);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), device.flash().begin() + 5 * 256));
    EXPECT_EQ(device.report().pagePrograms.at(5), 3);
    EXPECT_EQ(device.report().blockTestsFailed, 2);
}

TEST(DeviceFaults, SilentDeviceNeverAnswers) {
    DeviceModel device({}, FaultPlan().silent());
    for (const ByteVector& request : {appPing(), enterBootloader(), bootPing()}) {
        EXPECT_TRUE(device.receive(request).empty());
    }
    EXPECT_EQ(device.report().framesReceived, 3);
}

TEST(DeviceFaults, StayInApplicationAcknowledgesButKeepsRunning) {
    DeviceModel device({}, FaultPlan().stayInApplication());
    expectPositive(answerTo(device, enterBootloader()), 3, 28);
    EXPECT_EQ(device.mode(), DeviceModel::Mode::Application);
    expectError(answerTo(device, appPing()), 3, device_code::kUnknownCommand);
}

TEST(DeviceFaults, ErrorAnswerReplacesTheRequestForAsOftenAsAsked) {
    DeviceModel device(inBootloader(), FaultPlan().errorAnswer({RequestKind::Page, 3}, 9, 1));
    const ByteVector data = pattern(3);
    expectError(answerTo(device, pageRequest(3, &data)), 4, 9);
    EXPECT_EQ(device.flash()[3 * 256], 0xFF);  // not carried out
    expectPositive(answerTo(device, pageRequest(3, &data)), 4, 127);
    expectPositive(answerTo(device, pageRequest(4, &data)), 4, 127);

    DeviceModel app({}, FaultPlan().errorAnswer({RequestKind::Ping, -1}, 77));
    expectError(answerTo(app, appPing()), 3, 77);
}

TEST(DeviceFaults, CorruptedCheckOnlyOnSelectedAnswers) {
    DeviceModel device(inBootloader(), FaultPlan().corruptCheck({RequestKind::Identify, -1}, 1));
    const ReceivedTelegram bad = answerTo(device, identify());
    EXPECT_EQ(bad.command, 126);
    EXPECT_EQ(bad.data.size(), 11u);
    EXPECT_FALSE(checkTelegram(bad));
    EXPECT_TRUE(checkTelegram(answerTo(device, identify())));
    EXPECT_TRUE(checkTelegram(answerTo(device, bootPing())));
}

TEST(DeviceFaults, DelaysAddUp) {
    FaultPlan faults;
    faults.delayAnswers({RequestKind::Any, -1}, 20).delayAnswers({RequestKind::Ping, -1}, 300, 1);
    DeviceModel device(inBootloader(), faults);
    EXPECT_EQ(device.receive(bootPing()).at(0).delayMs, 320);
    EXPECT_EQ(device.receive(bootPing()).at(0).delayMs, 20);
}

TEST(DeviceFaults, HangUpWhenTheRequestAfterTheNamedPageArrives) {
    DeviceModel device(inBootloader(), FaultPlan().hangUpAfterPage(1));
    const ByteVector data = pattern(0);
    for (int page = 0; page < 2; ++page) {
        const std::vector<Outgoing> out = device.receive(pageRequest(page, &data));
        ASSERT_EQ(out.size(), 1u);
        EXPECT_FALSE(out[0].hangUpAfter);
    }
    const std::vector<Outgoing> cut = device.receive(pageRequest(2, &data));
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_TRUE(cut[0].hangUpAfter);
    EXPECT_TRUE(cut[0].bytes.empty());
    EXPECT_EQ(device.flash()[2 * 256], 0xFF);  // the unanswered request was not carried out
    // Only once: a reconnected updater carries on.
    expectPositive(answerTo(device, pageRequest(2, &data)), 4, 127);
}

TEST(DeviceFaults, GarbageBeforeAnswersHoldsNoStartLetter) {
    DeviceModel device(inBootloader(), FaultPlan().garbageBeforeAnswers(40));
    const std::vector<Outgoing> out = device.receive(bootPing());
    ASSERT_EQ(out.size(), 1u);
    ASSERT_EQ(out[0].bytes.size(), 40u + 9u);
    EXPECT_EQ(std::count(out[0].bytes.begin(), out[0].bytes.begin() + 40, 'V'), 0);
    expectPositive(telegramsIn(out).at(0), 4, 127);
}

TEST(DeviceConfigCheck, RejectsWhatTheIdentificationCannotCarry) {
    DeviceConfig config;
    config.identifyForm = 9;
    config.bootloaderVersion = 300;  // one byte in the 9-byte form
    EXPECT_THROW(DeviceModel{config}, std::invalid_argument);
    config = {};
    config.identifyForm = 7;
    EXPECT_THROW(DeviceModel{config}, std::invalid_argument);
    config = {};
    config.identifyText = "TOO LONG";
    EXPECT_THROW(DeviceModel{config}, std::invalid_argument);
    config = {};
    config.pageCount = 65535;
    config.pageSizeUnits = 255;  // beyond 24-bit addresses
    EXPECT_THROW(DeviceModel{config}, std::invalid_argument);
    EXPECT_EQ(parseModel("t320"), Model::T320);
    EXPECT_THROW(parseModel("T330"), std::invalid_argument);
}

}  // namespace
}  // namespace vek::devsim
