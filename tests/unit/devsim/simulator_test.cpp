#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "frames.h"
#include "raw_port.h"
#include "tools/devsim/simulator.h"

namespace vek::devsim {
namespace {

using namespace test;

DeviceConfig bootloaderDevice() {
    DeviceConfig config;
    config.startInBootloader = true;
    return config;
}

TEST(SimulatorPty, AnswersOnTheSlaveAndSurvivesAReopen) {
    Simulator sim;
    const std::string path = sim.startPty();
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    RawPort port;
    ASSERT_TRUE(port.openTty(path));
    ASSERT_TRUE(port.send(appPing()));
    auto answer = port.receive();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->type, 3);
    EXPECT_EQ(answer->command, 255);

    // A second updater on the same port after the first closed it.
    port.close();
    ASSERT_TRUE(port.openTty(path));
    ASSERT_TRUE(port.send(enterBootloader()));
    ASSERT_TRUE(port.receive());
    ASSERT_TRUE(port.send(bootPing()));
    answer = port.receive();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->command, 127);
    EXPECT_EQ(answer->flags, 0xA0);
    sim.stop();
    EXPECT_EQ(sim.endReason(), "stopped");
    EXPECT_EQ(sim.report().framesReceived, 3);
    EXPECT_EQ(sim.mode(), DeviceModel::Mode::Bootloader);
}

TEST(SimulatorTcp, AnswersOnALoopbackConnection) {
    Simulator sim(bootloaderDevice());
    const int tcpPort = sim.startTcp(0);
    EXPECT_GT(tcpPort, 0);
    EXPECT_EQ(sim.address(), "localhost:" + std::to_string(tcpPort));
    RawPort port;
    ASSERT_TRUE(port.connectTcp(tcpPort));
    ASSERT_TRUE(port.send(identify()));
    const auto answer = port.receive();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->command, 126);
    // The next connection finds the same device.
    port.close();
    ASSERT_TRUE(port.connectTcp(tcpPort));
    ASSERT_TRUE(port.send(restart()));
    ASSERT_TRUE(port.receive());
    EXPECT_EQ(sim.report().restarts, 1);
}

TEST(SimulatorPty, HangUpLooksLikeAPulledCable) {
    Simulator sim(bootloaderDevice(), FaultPlan().hangUpAfterPage(0));
    const std::string path = sim.startPty();
    RawPort port;
    ASSERT_TRUE(port.openTty(path));
    const ByteVector data = pattern(0);
    ASSERT_TRUE(port.send(pageRequest(0, &data)));
    ASSERT_TRUE(port.receive());
    ASSERT_TRUE(port.send(pageRequest(1, &data)));
    EXPECT_FALSE(port.receive());
    EXPECT_TRUE(port.hungUp());
    EXPECT_EQ(sim.report().hangUps, 1);
    if (sim.waitFinished(50)) {
        // Without CAP_SYS_ADMIN the hang-up closes the master: nothing to plug in again.
        EXPECT_EQ(sim.endReason(), "line gone");
        return;
    }

    // Plugged in again: the device carries on where it was.
    ASSERT_TRUE(port.openTty(path));
    ASSERT_TRUE(port.send(pageRequest(1, &data)));
    const auto answer = port.receive();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->flags, 0xA0);
    EXPECT_EQ(sim.report().distinctPagesProgrammed(), 2u);
}

TEST(SimulatorPty, LineTimeDelaysTheAnswerAndBytesAreCounted) {
    ServeOptions options;
    options.baud = 9600;
    Simulator sim(bootloaderDevice(), {}, options);
    RawPort port;
    ASSERT_TRUE(port.openTty(sim.startPty()));
    const ByteVector data = pattern(2);
    const ByteVector request = pageRequest(2, &data);
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(port.send(request));
    ASSERT_TRUE(port.receive(5000));
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    // 284 bytes in and 9 out at 10 bits a byte: about 305 ms on a real line.
    const auto lineTime = std::chrono::microseconds((request.size() + 9) * 10 * 1000000 / 9600);
    EXPECT_GE(elapsed, lineTime - std::chrono::milliseconds(2));
    // The server counts a byte once its write returned, which may be just
    // after the reader here already has it.
    SimReport report = sim.report();
    for (int i = 0; i < 100 && report.bytesOut < 9; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        report = sim.report();
    }
    EXPECT_EQ(report.bytesIn, static_cast<std::int64_t>(request.size()));
    EXPECT_EQ(report.bytesOut, 9);
    EXPECT_EQ(report.baud, 9600);
}

TEST(SimulatorPty, ExitAfterRestartAndFaultsChangedWhileRunning) {
    ServeOptions options;
    options.exitAfterRestart = true;
    Simulator sim(bootloaderDevice(), {}, options);
    RawPort port;
    ASSERT_TRUE(port.openTty(sim.startPty()));
    sim.modify([](DeviceModel& device) { device.faults().silent(); });
    ASSERT_TRUE(port.send(bootPing()));
    EXPECT_FALSE(port.receive(200));
    sim.modify([](DeviceModel& device) { device.faults().silent(false); });
    ASSERT_TRUE(port.send(restart()));
    ASSERT_TRUE(port.receive());
    EXPECT_TRUE(sim.waitFinished(2000));
    EXPECT_EQ(sim.endReason(), "restarted");
}

}  // namespace
}  // namespace vek::devsim
