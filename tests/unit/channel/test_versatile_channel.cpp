#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channel/versatile_channel.h"
#include "tcp_listener.h"

namespace {

// A serial channel that records what it was asked to open.
class FakeSerialChannel : public vek::Channel {
public:
    int close() override {
        open_ = false;
        return 0;
    }
    bool isOpen() const override { return open_; }
    int open(const char* address, const void* settings) override {
        ++opens;
        address_ = address;
        settings_ = *static_cast<const SerialSettings*>(settings);
        open_ = result >= 0;
        return result;
    }
    int read(char*, int) override { return 7; }
    int write(const char*, int length) override { return length; }
    int waitForInput(int milliseconds) override {
        waitBound = milliseconds;
        return 1;
    }

    int result = 0;
    int opens = 0;
    int waitBound = 0;
    std::string address_;
    SerialSettings settings_;

private:
    bool open_ = false;
};

class RecordingView : public vek::VersatileChannel_View_Adapter {
public:
    void stateChanged() override { events.push_back("state"); }
    void addressChanged(const char* address) override {
        events.push_back(std::string("address ") + (address ? address : "(null)"));
    }
    std::vector<std::string> events;
};

using Events = std::vector<std::string>;

// A versatile channel wired as the application wires it: a serial port
// attached, no socket, a view.
class WiredChannel : public ::testing::Test {
protected:
    WiredChannel() {
        channel.attachSerialPort(&serial);
        channel.setViewAdapter(&view);
    }
    vek::VersatileChannel channel;
    FakeSerialChannel serial;
    RecordingView view;
};

TEST_F(WiredChannel, DoesNothingBeforeAnyOpenButTellsTheViewOfAClose) {
    char buffer[4];
    EXPECT_EQ(channel.read(buffer, 4), 0);
    EXPECT_EQ(channel.write("x", 1), 0);
    EXPECT_EQ(channel.waitForInput(10), vek::Channel::kCannotWait);
    EXPECT_FALSE(channel.isOpen());
    EXPECT_EQ(channel.close(), 0);
    EXPECT_EQ(view.events, Events({"state"}));
}

TEST_F(WiredChannel, SerialNamesGoToTheSerialChannelWithTheStoredSettings) {
    ASSERT_EQ(channel.setSerialSettings("19200,E,7,2"), 0);

    EXPECT_EQ(channel.open("COM3", nullptr), 0);
    EXPECT_EQ(serial.address_, "COM3");
    EXPECT_EQ(serial.settings_.baudRate, 19200);
    EXPECT_EQ(serial.settings_.parity, vek::kParityEven);
    EXPECT_EQ(serial.settings_.dataBits, 7);
    EXPECT_EQ(serial.settings_.stopBits, 2);
    EXPECT_TRUE(channel.isOpen());
    char buffer[8];
    EXPECT_EQ(channel.read(buffer, 8), 7);
    EXPECT_EQ(channel.waitForInput(10), 1);
    EXPECT_EQ(serial.waitBound, 10);
    EXPECT_EQ(view.events, Events({"address COM3", "state"}));

    // Open refuses while the port is open, and the view still hears of it.
    EXPECT_EQ(channel.open("/dev/ttyUSB0", nullptr), vek::VersatileChannel::kSerialAlreadyOpen);
    EXPECT_EQ(serial.opens, 1);
    EXPECT_TRUE(channel.isOpen());
    EXPECT_EQ(view.events.size(), 4u);

    channel.close();
    SerialSettings passed;
    passed.baudRate = 38400;
    EXPECT_EQ(channel.open("/dev/ttyUSB0", &passed), 0);
    EXPECT_EQ(serial.settings_.baudRate, 38400);
    EXPECT_EQ(channel.serialSettings().baudRate, 38400);
}

TEST_F(WiredChannel, WithoutASocketOnlySerialNamesOpen) {
    for (const char* address : {"TCPIP", "10.0.0.1:23", "ttyUSB0"}) {
        EXPECT_EQ(channel.open(address, nullptr), vek::VersatileChannel::kNoChannelForAddress) << address;
    }
    EXPECT_EQ(channel.open(nullptr, nullptr), vek::VersatileChannel::kNoChannelForAddress);
    EXPECT_FALSE(channel.isOpen());
    EXPECT_EQ(serial.opens, 0);
    EXPECT_EQ(view.events, Events({"address TCPIP", "state", "address 10.0.0.1:23", "state", "address ttyUSB0",
                                   "state", "address (null)", "state"}));
    EXPECT_NE(channel.lastErrorText().find("neither"), std::string::npos);

    // A failing serial open keeps the serial channel chosen.
    serial.result = -1;
    EXPECT_EQ(channel.open("COM1", nullptr), -1);
    EXPECT_EQ(channel.currentChannel(), &serial);
}

TEST(VersatileChannel, SerialSettingsTextIsCheckedBeforeItIsStored) {
    vek::VersatileChannel channel;
    EXPECT_EQ(channel.setSerialSettings("38400,n,8,1"), 0);
    EXPECT_EQ(channel.setSerialSettings("9600,n,8,1"), -2);
    EXPECT_EQ(channel.setSerialSettings("38400,x,8,1"), -3);
    EXPECT_EQ(channel.setSerialSettings("9600,x,8,1"), -3);
    EXPECT_EQ(channel.setSerialSettings("38400,n,8"), -1);
    EXPECT_EQ(channel.setSerialSettings(nullptr), -1);
    EXPECT_EQ(channel.serialSettings().baudRate, 38400);
    EXPECT_EQ(channel.serialSettings().parity, vek::kParityNone);

    EXPECT_EQ(channel.setTcpAddress("COM1"), -1);
    EXPECT_EQ(channel.tcpSettings().port, 9900);
    EXPECT_EQ(channel.tcpSettings().address, vek::ipv4Address(127, 0, 0, 1));
}

TEST_F(WiredChannel, DefaultChannelsReplaceAttachedOnesAndReportWhyOpenFailed) {
    channel.createDefaultChannels();
    EXPECT_EQ(channel.open("/dev/t3xx-no-such-port", nullptr), vek::SerialPort::kCannotOpen);
    EXPECT_EQ(serial.opens, 0);
    EXPECT_EQ(channel.lastErrorText(), "no such device");
}

TEST(VersatileChannel, TcpAddressesAndTcpipConnectWithDefaultChannels) {
    TcpListener listener;
    ASSERT_TRUE(listener.ok());
    vek::VersatileChannel channel;
    channel.createDefaultChannels();
    const std::string port = std::to_string(listener.port());

    ASSERT_GE(channel.open(("localhost:" + port).c_str(), nullptr), 0);
    TcpPeer peer = listener.accept();
    ASSERT_TRUE(peer.ok());
    EXPECT_EQ(channel.open("COM1", nullptr), vek::VersatileChannel::kTcpAlreadyOpen);
    EXPECT_EQ(channel.write("abc", 3), 3);
    EXPECT_EQ(peer.receive(3), "abc");
    channel.close();

    // "TCPIP" goes to the stored address, which setTcpAddress changes.
    ASSERT_EQ(channel.setTcpAddress(("127.0.0.1:" + port).c_str()), 0);
    ASSERT_GE(channel.open("tcpip", nullptr), 0);
    EXPECT_TRUE(listener.accept().ok());
    channel.close();
}

TEST(VersatileChannel, TcpipDefaultsToPort9900OnTheLocalHost) {
    TcpListener listener(9900);
    if (!listener.ok()) GTEST_SKIP() << "port 9900 is taken on this machine";
    vek::VersatileChannel channel;
    channel.createDefaultChannels();
    ASSERT_GE(channel.open("TCPIP", nullptr), 0);
    EXPECT_TRUE(listener.accept().ok());
}

}  // namespace
