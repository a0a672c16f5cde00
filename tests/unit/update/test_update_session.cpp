// The parts of the update session that need no device: the page request
// layout, progress labels, the error report lines, and a run whose port
// cannot be opened.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channel/channel.h"
#include "integration/recording_view.h"
#include "protocol/errors.h"
#include "protocol/protocol_handler.h"
#include "update/update_session.h"

namespace vek {
namespace {

using test::RecordingView;

// A port that cannot be opened.
class UnopenablePort : public Channel {
public:
    int close() override { return 0; }
    bool isOpen() const override { return false; }
    int open(const char* address, const void*) override {
        lastAddress = address ? address : "(null)";
        ++opens;
        return -1;
    }
    int read(char*, int) override { return -1; }
    int write(const char*, int) override { return -1; }
    std::string lastAddress;
    int opens = 0;
};

struct Session {
    Session() : session(port, handler, view, nullptr) { handler.setChannel(&port); }
    UnopenablePort port;
    VekProtocolHandler handler;
    RecordingView view;
    UpdateSession session;
};

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

TEST(PageRequest, WithDataCarriesDataProgramAndBlockTestParts) {
    std::vector<std::uint8_t> page(256);
    for (int i = 0; i < 256; ++i) page[i] = static_cast<std::uint8_t>(255 - i);
    const int address = 1007 * 256;  // 0x03EF00: needs all three address bytes
    const TgRequest request = UpdateSession::buildPageRequest(address, page.data(), 256);

    EXPECT_EQ(request.command, 127);
    EXPECT_EQ(request.variant, 1);
    ASSERT_EQ(request.data.size(), 275u);
    const auto& d = request.data;
    EXPECT_EQ(std::vector<std::uint8_t>(d.begin(), d.begin() + 6),
              bytes({0x09, 0x03, 0xEF, 0x00, 0x01, 0x00}));
    EXPECT_EQ(std::vector<std::uint8_t>(d.begin() + 6, d.begin() + 262), page);
    EXPECT_EQ(std::vector<std::uint8_t>(d.begin() + 262, d.end()),
              bytes({0x04, 0x03, 0xEF, 0x00, 0x00, 0x80,  //
                     0x08, 0x03, 0xEF, 0x00, 0x01, 0x00, 0x00}));
}

TEST(PageRequest, WithoutDataLeavesTheDataPartOut) {
    const TgRequest request = UpdateSession::buildPageRequest(6 * 256, nullptr, 256);
    EXPECT_EQ(request.data, bytes({0x04, 0x00, 0x06, 0x00, 0x00, 0x80,  //
                                   0x08, 0x00, 0x06, 0x00, 0x01, 0x00, 0x00}));
}

TEST(Progress, LabelsCountFromOneAndTheBarRunsFromZeroToHundred) {
    Session s;
    s.session.showProgress(0, 496);
    s.session.showProgress(247, 496);
    s.session.showProgress(495, 496);
    s.session.showProgress(1007, 1008);
    s.session.showProgress(0, 1);  // one page is first and last at once
    ASSERT_EQ(s.view.progress.size(), 5u);
    EXPECT_EQ(s.view.progress[0].label, "001/496");
    EXPECT_EQ(s.view.progress[0].percent, 0);
    EXPECT_EQ(s.view.progress[1].label, "248/496");
    EXPECT_EQ(s.view.progress[1].percent, 49);  // integer division, not rounded
    EXPECT_EQ(s.view.progress[2].label, "496/496");
    EXPECT_EQ(s.view.progress[2].percent, 100);
    EXPECT_EQ(s.view.progress[3].label, "1008/1008");
    EXPECT_EQ(s.view.progress[4].percent, 100);
}

template <typename Error>
std::string reportOf(const Error& error) {
    Session s;
    try {
        throw error;
    } catch (...) {
        s.session.reportCurrentError();
    }
    return s.view.log;
}

TEST(ErrorReport, NamesTheErrorTheWayEachFamilyNeeds) {
    EXPECT_EQ(reportOf(WrongAnswer(127, 0x40)), "Error: Wrong answer #127\n");
    EXPECT_EQ(reportOf(ErrorObject(200)), "Error: device reports code #200\n");
    EXPECT_EQ(reportOf(Timeout()), "Error: Timeout\n");
    EXPECT_EQ(reportOf(TgParseError()), "Error: Telegram parse error\n");
    EXPECT_EQ(reportOf(ErrorMsg("Bad record")), "Error: Bad record\n");
    // Foreign exceptions are not the reporter's to swallow.
    EXPECT_THROW(reportOf(42), int);
}

TEST(UpdateRun, PortThatCannotBeOpenedIsNamedBeforeNoCommunication) {
    Session s;
    s.session.setOpenFailureReason([](int) { return std::string("no such device"); });
    const UpdateResult result = s.session.startUpdate("/dev/ttyUSB7");

    EXPECT_EQ(s.port.lastAddress, "/dev/ttyUSB7");
    EXPECT_EQ(s.view.lines(), (std::vector<std::string>{
                                  "Cannot open port /dev/ttyUSB7: no such device",
                                  "No communication!",
                              }));
    EXPECT_EQ(s.view.steps, (std::vector<unsigned>{1, 0}));
    EXPECT_EQ(result.outcome, UpdateOutcome::NoCommunication);
    EXPECT_FALSE(result.bootloaderReached);
    EXPECT_FALSE(result.restarted);
    EXPECT_NE(result.message.find("no such device"), std::string::npos);
}

TEST(UpdateRun, NoPortChosenSaysSo) {
    Session s;
    const UpdateResult result = s.session.startUpdate(nullptr);
    EXPECT_EQ(s.view.lines(), (std::vector<std::string>{
                                  "Cannot open port: no port chosen",
                                  "No communication!",
                              }));
    EXPECT_EQ(result.outcome, UpdateOutcome::NoCommunication);
    EXPECT_STREQ(outcomeName(result.outcome), "no-communication");
}

}  // namespace
}  // namespace vek
