#include <gtest/gtest.h>

#include <chrono>

#include "tools/devsim/line_timing.h"
#include "tools/devsim/sim_report.h"

namespace vek::devsim {
namespace {

using std::chrono::microseconds;
using Clock = LineTiming::Clock;

TEST(LineTiming, TenBitsAByteQueuedPerDirection) {
    LineTiming line(9600);
    EXPECT_EQ(std::chrono::duration_cast<microseconds>(line.byteTime()).count(), 1041);  // 10 / 9600 s
    const Clock::time_point t0 = Clock::now();
    // 100 bytes read at once: the last one is in 100 byte times later.
    const Clock::time_point in = line.arrive(t0, 100);
    EXPECT_EQ(in, t0);
    EXPECT_EQ(line.byteEnd(in, 99) - t0, line.byteTime() * 100);
    // More bytes read while those are still arriving queue behind them.
    EXPECT_EQ(line.arrive(t0 + line.byteTime(), 5), t0 + line.byteTime() * 100);

    // The other direction is a line of its own.
    const Clock::time_point out = line.depart(t0, 10);
    EXPECT_EQ(out, t0);
    EXPECT_EQ(line.depart(t0, 10), t0 + line.byteTime() * 10);
    EXPECT_EQ(line.bytesOut(out, t0, 10), 0u);
    EXPECT_EQ(line.bytesOut(out, t0 + line.byteTime() * 3 + microseconds(1), 10), 3u);
    EXPECT_EQ(line.bytesOut(out, t0 + line.byteTime() * 50, 10), 10u);
}

TEST(LineTiming, OffMeansInstant) {
    LineTiming line(0);
    const Clock::time_point t0 = Clock::now();
    EXPECT_EQ(line.byteEnd(line.arrive(t0, 500), 499), t0);
    EXPECT_EQ(line.bytesOut(line.depart(t0, 500), t0, 500), 500u);
    EXPECT_EQ(line.bytesOut(t0 + microseconds(5), t0, 500), 0u);  // not before its time
}

TEST(SimReportJson, CarriesCountersAndProgramsPerPage) {
    SimReport report;
    report.model = "T310";
    report.modeAtExit = "application";
    report.framesReceived = 500;
    report.pagePrograms = {{0, 1}, {5, 3}};
    report.bytesIn = 9600;
    report.bytesOut = 0;
    const std::string json = report.toJson();
    EXPECT_NE(json.find("\"model\": \"T310\""), std::string::npos);
    EXPECT_NE(json.find("\"frames_received\": 500,"), std::string::npos);
    EXPECT_NE(json.find("\"page_programs\": {\"0\": 1, \"5\": 3},"), std::string::npos);
    EXPECT_NE(json.find("\"mode_at_exit\": \"application\""), std::string::npos);
    EXPECT_EQ(json.front(), '{');
    EXPECT_EQ(json.substr(json.size() - 2), "}\n");
    EXPECT_DOUBLE_EQ(report.wireSeconds(9600), 10.0);
    EXPECT_DOUBLE_EQ(report.wireSeconds(0), 0.0);
}

}  // namespace
}  // namespace vek::devsim
