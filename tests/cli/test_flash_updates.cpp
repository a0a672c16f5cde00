// t3xx-flash updating simulated detectors (t3xx-devsim) on pseudo-terminals:
// the flash afterwards, the output, the JSON and the service log.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "embedded_image.h"
#include "flash_processes.h"

namespace vek::flash::test {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

double secondsOf(const std::string& object) {
    const std::size_t at = object.find("\"seconds\": ");
    return at == std::string::npos ? 0.0 : std::stod(object.substr(at + 11));
}

TEST(FlashUpdate, T310FromItsApplicationWithTheDefaultEntry) {
    Detector t310({"--model", "T310"});
    const FlashRun run = runFlash({"--accept-notice", "--port", t310.port()});
    t310.finish();
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(t310.flash(), expectedFlash(310, 0));

    // The log lines as the window's log pane shows them, no port prefix with
    // one detector, no terminal control on a pipe.
    const std::vector<std::string> out = lines(run.out);
    const std::vector<std::string> dialogue = {
        "Device in application mode ...", "  ... switching to bootloader", "Detecting bootloader ...",
        "Bootloader version: 1.04",       "496 pages @ 256 bytes",         "Target device is T310"};
    auto at = std::search(out.begin(), out.end(), dialogue.begin(), dialogue.end());
    EXPECT_NE(at, out.end()) << run.out;
    EXPECT_EQ(out.back(), "Result: updated - Device updated and restarted (T310, 496/496 pages, " +
                              out.back().substr(out.back().rfind(", ") + 2));
    EXPECT_FALSE(contains(run.out, "\x1b")) << "terminal control on a pipe";
    EXPECT_TRUE(run.err.empty()) << run.err;
}

TEST(FlashUpdate, ServiceLogThatCannotBeWrittenIsNoSuccess) {
    // /dev/full opens, but every write to it fails: the record has holes.
    Detector t310({"--model", "T310"});
    const FlashRun run = runFlash({"--accept-notice", "--port", t310.port(), "--log", "/dev/full"});
    t310.finish();
    EXPECT_EQ(t310.flash(), expectedFlash(310, 0));
    EXPECT_EQ(run.status, 11) << run.out << run.err;
    EXPECT_TRUE(contains(run.err, "cannot write to the log file /dev/full: No space left on device")) << run.err;
}

TEST(FlashUpdate, T320GetsTheLastEntry) {
    // Found in its bootloader: no switching, straight to identification.
    Detector t320({"--model", "T320", "--start-in-bootloader"});
    const FlashRun run = runFlash({"--accept-notice", "--port", t320.port(), "--json"});
    t320.finish();
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const int last = builtCatalogue().entryCount(320) - 1;
    EXPECT_EQ(t320.flash(), expectedFlash(320, last));
    const std::string object = jsonOf(run.out, t320.port());
    EXPECT_TRUE(contains(object, "\"model\": \"T320\", \"bootloader_version\": \"1.04\", \"page_count\": 1008, "
                                 "\"pages_sent\": 1008"))
        << run.out;
    EXPECT_TRUE(contains(object, "\"outcome\": \"updated\", \"exit_status\": 0")) << object;
    // With --json the log lines go to standard error.
    EXPECT_TRUE(contains(run.err, "Device in bootloader mode\nDetecting bootloader ...\n")) << run.err;
    EXPECT_TRUE(contains(run.err, "Target device is T320")) << run.err;
}

TEST(FlashUpdate, ThreeDetectorsAtOnce) {
    Detector a({"--model", "T310"});
    Detector b({"--model", "T310"});
    Detector c({"--model", "T320"});
    const FlashRun run =
        runFlash({"--accept-notice", "--port", a.port(), "--port", b.port(), "--port", c.port(), "--json"});
    a.finish();
    b.finish();
    c.finish();
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(a.flash(), expectedFlash(310, 0));
    EXPECT_EQ(b.flash(), expectedFlash(310, 0));
    EXPECT_EQ(c.flash(), expectedFlash(320, builtCatalogue().entryCount(320) - 1));

    // Every log line names its port.
    for (const std::string& line : lines(run.err)) {
        if (contains(line, "Target device")) {
            EXPECT_TRUE(line.rfind(a.port() + ": ", 0) == 0 || line.rfind(b.port() + ": ", 0) == 0 ||
                        line.rfind(c.port() + ": ", 0) == 0)
                << line;
        }
    }
    // At the same time: the whole run takes far less than the three
    // updates' own durations one after the other.
    const double inARow = secondsOf(jsonOf(run.out, a.port())) + secondsOf(jsonOf(run.out, b.port())) +
                          secondsOf(jsonOf(run.out, c.port()));
    EXPECT_LT(run.seconds, 0.75 * inARow) << "wall " << run.seconds << " s, one after the other " << inARow << " s";
}

TEST(FlashUpdate, OneOfThreeFailingIsReportedAndTheOthersAreFlashed) {
    Detector a({"--model", "T310"});
    Detector failing({"--model", "T310", "--fail-block-test", "7,3"});
    Detector c({"--model", "T310"});
    const std::string logFile = tempPath("service.log");
    std::remove(logFile.c_str());
    const FlashRun run = runFlash({"--accept-notice", "--port", a.port(), "--port", failing.port(), "--port",
                                   c.port(), "--variant", "3", "--json", "--log", logFile});
    a.finish();
    failing.finish();
    c.finish();

    EXPECT_EQ(run.status, 8) << run.err;
    EXPECT_EQ(a.flash(), expectedFlash(310, 3));
    EXPECT_EQ(c.flash(), expectedFlash(310, 3));
    const std::string object = jsonOf(run.out, failing.port());
    EXPECT_TRUE(contains(object, "\"pages_sent\": 7, ")) << object;
    EXPECT_TRUE(contains(object, "\"repeats\": 2, \"restarted\": true, \"outcome\": \"transmission-aborted\", "
                                 "\"exit_status\": 8, \"message\": \"Page 8 failed 3 times"))
        << object;
    EXPECT_TRUE(contains(jsonOf(run.out, a.port()), "\"outcome\": \"updated\"")) << run.out;
    EXPECT_TRUE(contains(jsonOf(run.out, c.port()), "\"outcome\": \"updated\"")) << run.out;
    EXPECT_TRUE(contains(run.err, failing.port() + ": Block test not OK ... repeating block")) << run.err;
    EXPECT_TRUE(contains(run.err, failing.port() + ": Error ... abort!")) << run.err;

    // The service log: timestamped lines of every port and one result line
    // per detector.
    std::ifstream in(logFile);
    const std::string log{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    int results = 0;
    for (const std::string& line : lines(log)) {
        ASSERT_GE(line.size(), 24u);
        EXPECT_EQ(line[4], '-');
        EXPECT_EQ(line[10], ' ');
        EXPECT_EQ(line[19], '.') << line;
        if (contains(line, " RESULT ")) ++results;
    }
    EXPECT_EQ(results, 3) << log;
    EXPECT_TRUE(contains(log, " " + failing.port() + " RESULT outcome=transmission-aborted exit_status=8 model=T310"))
        << log;
    EXPECT_TRUE(contains(log, " " + c.port() + " Device in application mode ...")) << log;
    std::remove(logFile.c_str());
}

TEST(FlashUpdate, ExtractedTextIsTheEmbeddedOneAndFlashesTheSameBytesWithHex) {
    const std::string file = tempPath("t310_2.a90");
    const FlashRun extract = runFlash({"--extract", "T310:2", file});
    ASSERT_EQ(extract.status, 0) << extract.err;
    const Bytes written = readFile(file);
    const std::string text = embeddedText(310, 2);
    EXPECT_EQ(std::string(written.begin(), written.end()), text);

    Detector t310({"--model", "T310"});
    const FlashRun run = runFlash({"--accept-notice", "--port", t310.port(), "--hex", file});
    t310.finish();
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(t310.flash(), expectedFlash(310, 2));
    EXPECT_TRUE(contains(run.out, "Firmware for a T310: " + file)) << run.out;
    EXPECT_FALSE(contains(run.out, "Warning")) << run.out;
    std::remove(file.c_str());
}

TEST(FlashUpdate, HexFileThatLeavesPagesUndefinedIsSentWithAWarning) {
    const std::string file = tempPath("partial.hex");
    {
        std::ofstream out(file);
        out << ":0400000001020304F2\n:00000001FF\n";
    }
    // The first page fails for good, so the run ends early.
    Detector t310({"--model", "T310", "--fail-block-test", "0,3"});
    const FlashRun run = runFlash({"--accept-notice", "--port", t310.port(), "--hex", file});
    t310.finish();
    EXPECT_EQ(run.status, 8) << run.out << run.err;
    EXPECT_TRUE(contains(run.out, "Target device is T310\nWarning: " + file +
                                      " does not define the whole page area of the T310: 126972 of its 126976 "
                                      "bytes are not in the file and are sent as 0x00"))
        << run.out;
    std::remove(file.c_str());
}

TEST(FlashUpdate, OnATerminalEachDetectorHasALiveProgressLine) {
    Detector t310({"--model", "T310", "--fail-block-test", "3,3"});
    const FlashRun run = runFlash({"--accept-notice", "--port", t310.port()}, true);
    t310.finish();
    EXPECT_EQ(run.status, 8) << run.out;
    EXPECT_TRUE(contains(run.out, "\x1b[1F\x1b[J")) << "the progress line is redrawn in place";
    EXPECT_TRUE(contains(run.out, t310.port() + "  T310  page 004/496")) << run.out;
    EXPECT_TRUE(contains(run.out, t310.port() + "  FAILED: Page 4 failed 3 times")) << run.out;
    EXPECT_TRUE(contains(run.out, "Block test not OK ... repeating block")) << run.out;
}

}  // namespace
}  // namespace vek::flash::test
