// The protocol handler on a real serial port (a pseudo-terminal) against the
// simulated detector: the whole dialogue of one update, request by request
// as the updater sends them, and the device's faults as the handler reports
// them.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "channel/serial_port.h"
#include "protocol/errors.h"
#include "protocol/protocol_handler.h"
#include "protocol/struct_packer.h"
#include "protocol/telegram.h"
#include "tools/devsim/simulator.h"

namespace vek {
namespace {

using devsim::DeviceConfig;
using devsim::DeviceModel;
using devsim::FaultPlan;
using devsim::Simulator;

constexpr int kPageSize = 256;
constexpr int kT310Pages = 496;
constexpr std::size_t kT310Buffer = 131072;  // the T310 image buffer; its last 4096 bytes are never sent

// A deterministic T310 image with runs of zero pages, so that pages without
// a data part are part of the dialogue.
ByteVector testImage() {
    ByteVector image(kT310Buffer);
    std::uint32_t state = 0x1234567u;
    for (std::uint8_t& byte : image) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    for (int page : {10, 11, 12, 13, 300, 301, 495}) {
        std::fill_n(image.begin() + page * kPageSize, kPageSize, 0x00);
    }
    return image;
}

// A page transfer as the updater builds it: the data part only when data is
// given, then program and block test; numbers high byte first.
TgRequest pageRequest(std::uint32_t address, const std::uint8_t* data, std::uint16_t length) {
    TgRequest request;
    request.command = 127;
    request.variant = 1;
    StructPacker out(request.data, true);
    auto head = [&](std::uint8_t op, std::uint16_t count) {
        out.putU8(op).putU8(address >> 16).putU8(address >> 8).putU8(address);
        out.putU8(count >> 8).putU8(count);
    };
    if (data) {
        head(0x09, length);
        out.putBytes(data, length);
    }
    head(0x04, static_cast<std::uint16_t>(length / 2));
    head(0x08, length);
    out.putU8(0x00);
    return request;
}

TgRequest simpleRequest(std::uint8_t command, std::uint8_t variant, ByteVector data) {
    TgRequest request;
    request.command = command;
    request.variant = variant;
    request.data = std::move(data);
    return request;
}

const TgRequest kAppPing = simpleRequest(127, 0, {0x00});
const TgRequest kBootPing = simpleRequest(127, 1, {0x00});
const TgRequest kEnterBootloader = simpleRequest(28, 0, {0x06, 0x00, 0x00, 0x00});
const TgRequest kRestart = simpleRequest(127, 1, {0x07});

// The real clock, counting how often the handler reads it and sleeps on it.
class CountingClock : public TickClock {
public:
    std::int64_t ticks() override {
        ++readings;
        return systemTickClock().ticks();
    }
    void sleep(int milliseconds) override {
        ++sleeps;
        systemTickClock().sleep(milliseconds);
    }
    long readings = 0;
    long sleeps = 0;
};

// A simulator on a pseudo-terminal, a serial port opened on it and a
// handler on the port.
struct Bench {
    explicit Bench(DeviceConfig config = {}, FaultPlan faults = {}) : sim(config, std::move(faults)) {
        const std::string path = sim.startPty();
        EXPECT_EQ(port.open(path.c_str(), nullptr), SerialPort::kOpened) << port.lastErrorText();
        handler.setChannel(&port);
    }
    Simulator sim;
    SerialPort port;
    CountingClock clock;
    VekProtocolHandler handler{clock};
};

int deviceCodeOf(VekProtocolHandler& handler, const TgRequest& request) {
    try {
        handler.request(request);
    } catch (const ErrorObject& error) {
        return error.deviceCode;
    }
    return -1;
}

TEST(HandlerOnSimulator, RoadOfOneUpdate) {
    Bench bench;
    VekProtocolHandler& handler = bench.handler;

    // The application answers the ping with an error answer...
    EXPECT_EQ(deviceCodeOf(handler, kAppPing), devsim::device_code::kUnknownCommand);
    // ...and is switched into its bootloader, which answers the type 4 ping.
    handler.request(kEnterBootloader);
    EXPECT_EQ(bench.sim.mode(), DeviceModel::Mode::Bootloader);
    handler.request(kBootPing);

    const VekTelegram answer = handler.query(126, 1);
    ASSERT_EQ(answer.command, 126);
    T3xx_Telegram_126 id;
    id.parse(answer.data);
    EXPECT_EQ(id.version, 104);
    EXPECT_EQ(id.pageSizeUnits * 8, kPageSize);
    ASSERT_EQ(id.pageCount, kT310Pages);

    const ByteVector image = testImage();
    bool previousBlank = false;
    int withoutData = 0;
    for (int page = 0; page < id.pageCount; ++page) {
        const std::uint8_t* data = image.data() + page * kPageSize;
        const bool blank = std::all_of(data, data + kPageSize, [](std::uint8_t b) { return b == 0; });
        const bool sendData = !(blank && previousBlank);
        withoutData += sendData ? 0 : 1;
        ASSERT_NO_THROW(handler.request(pageRequest(page * kPageSize, sendData ? data : nullptr, kPageSize)))
            << "page " << page;
        previousBlank = blank;
    }
    handler.request(kRestart);

    const ByteVector flash = bench.sim.flash();
    ASSERT_EQ(flash.size(), static_cast<std::size_t>(kT310Pages * kPageSize));
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), image.begin()));
    const devsim::SimReport report = bench.sim.report();
    EXPECT_EQ(report.pageRequests, kT310Pages);
    EXPECT_EQ(withoutData, 4);  // pages 11, 12, 13 and 301
    EXPECT_EQ(report.requestsWithoutDataPart, withoutData);
    EXPECT_EQ(report.distinctPagesProgrammed(), static_cast<std::size_t>(kT310Pages));
    EXPECT_EQ(report.blockTestsFailed, 0);
    EXPECT_EQ(report.badChecks, 0);
    EXPECT_EQ(report.restarts, 1);
    EXPECT_EQ(report.modeAtExit, "application");
    // Every idle step waited on the port for the answer; none slept blindly.
    EXPECT_EQ(bench.clock.sleeps, 0);
}

TEST(HandlerOnSimulator, DeviceFaultsArriveAsTheHandlersErrors) {
    DeviceConfig config;
    config.startInBootloader = true;
    FaultPlan faults;
    faults.failBlockTest(2, 1).corruptCheck({devsim::RequestKind::Identify, -1}, 1).hangUpAfterPage(3);
    Bench bench(config, faults);
    VekProtocolHandler& handler = bench.handler;
    const ByteVector image = testImage();

    // A failed block test is an error answer; the repeat succeeds.
    for (int page = 0; page < 2; ++page) handler.request(pageRequest(page * kPageSize, &image[page * kPageSize], kPageSize));
    const TgRequest page2 = pageRequest(2 * kPageSize, &image[2 * kPageSize], kPageSize);
    EXPECT_EQ(deviceCodeOf(handler, page2), devsim::device_code::kBlockTestFailed);
    handler.request(page2);

    // A damaged answer is a check error, not a time-out.
    EXPECT_THROW(handler.query(126, 1), CRCError);
    EXPECT_EQ(handler.query(126, 1).command, 126);

    // A pulled cable after page 3: the next request fails promptly with a
    // communication error instead of passing.
    handler.request(pageRequest(3 * kPageSize, &image[3 * kPageSize], kPageSize));
    const auto before = std::chrono::steady_clock::now();
    const long readingsBefore = bench.clock.readings;
    EXPECT_THROW(handler.request(pageRequest(4 * kPageSize, &image[4 * kPageSize], kPageSize)), ComError);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
    // The hung-up line wakes every wait at once; the loop still does not spin.
    EXPECT_LT(bench.clock.readings - readingsBefore, 20000);
    EXPECT_EQ(bench.sim.report().hangUps, 1);
    EXPECT_EQ(bench.sim.report().pagePrograms.count(4), 0u);
}

TEST(HandlerOnSimulator, SilentDeviceTimesOut) {
    Bench bench({}, FaultPlan().silent());
    const auto before = std::chrono::steady_clock::now();
    EXPECT_THROW(bench.handler.request(kAppPing), Timeout);
    const auto waited = std::chrono::steady_clock::now() - before;
    EXPECT_GE(waited, std::chrono::milliseconds(990));
    EXPECT_LT(waited, std::chrono::seconds(3));
    EXPECT_EQ(bench.sim.report().framesReceived, 1);
}

}  // namespace
}  // namespace vek
