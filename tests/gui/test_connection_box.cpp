// The connection box: port list, selection, connect and disconnect on a
// pseudo-terminal, and what the log says when a port cannot be opened.

#include "gui_test_support.h"

#include "app/autodeimaging_button.h"
#include "app/main_window.h"
#include "app/phys_conn_box_presenter.h"
#include "app/port_choice.h"

#include "channel/serial_port.h"
#include "channel/versatile_channel.h"
#include "update/session_sources.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>

#include <string>
#include <vector>

namespace {

class ConnectionBox : public WindowsTest {
protected:
    void SetUp() override
    {
        WindowsTest::SetUp();
        channel.attachSerialPort(&port);
        channel.setViewAdapter(&box);
        box.attachWidgets(portChoice, connectButton, disconnectButton);
        box.setChannel(&channel);
        box.setOpenFailureReason(vek::serialOpenFailureReason(port));
    }
    void TearDown() override
    {
        channel.setViewAdapter(nullptr);
        channel.close();
        WindowsTest::TearDown();
    }

    std::vector<std::string> entries() const
    {
        std::vector<std::string> texts;
        for (int i = 0; i < portChoice->size() - 1; ++i) texts.emplace_back(portChoice->menu()[i].label());
        return texts;
    }
    std::string selected() const
    {
        const char* name = box.selectedPortName();
        return name != nullptr ? name : "(none)";
    }
    void expectOpenState(bool open) const
    {
        EXPECT_EQ(channel.isOpen(), open);
        EXPECT_EQ(portChoice->active() != 0, !open);
        EXPECT_EQ(connectButton->active() != 0, !open);
        EXPECT_EQ(disconnectButton->active() != 0, open);
    }

    FakeSerialPorts ports;
    vek::SerialPort port;
    vek::VersatileChannel channel;
    Fl_PhysConnBoxPresenter box{SerialPortList(ports.ttyClassRoot(), ports.deviceRoot())};
};

TEST_F(ConnectionBox, ListsPortsInNaturalOrderAndShowsTheirDescriptions)
{
    ports.add("ttyUSB10");
    ports.add("ttyUSB2", "FT232R USB UART");
    ports.add("ttyS1");
    box.refreshPortList(false);
    EXPECT_EQ(entries(), (std::vector<std::string>{ports.devicePath("ttyS1"), ports.devicePath("ttyUSB2"),
                                                   ports.devicePath("ttyUSB10")}));

    box.selectPort(ports.devicePath("ttyUSB2").c_str());
    ASSERT_NE(portChoice->tooltip(), nullptr);
    EXPECT_STREQ(portChoice->tooltip(), "FTDI FT232R USB UART (0403:6001)");
    box.selectPort(ports.devicePath("ttyS1").c_str());
    EXPECT_EQ(portChoice->tooltip(), nullptr);

    // In the opened list the description stands beside the name, which
    // stays the entry's text.
    int h = 0;
    const int withDescription = portChoice->menu()[1].measure(&h, portChoice);
    const int withoutDescription = portChoice->menu()[2].measure(&h, portChoice);
    EXPECT_GT(withDescription, withoutDescription + 50);

    box.refreshPortList(true);
    EXPECT_EQ(entries().back(), "TCPIP");
}

TEST_F(ConnectionBox, RefreshKeepsAPresentSelectionAndFindsNewPorts)
{
    ports.add("ttyUSB0");
    ports.add("ttyUSB1");
    box.refreshPortList(false);
    box.selectPort(ports.devicePath("ttyUSB1").c_str());

    ports.add("ttyACM0");  // plugged in after start-up
    box.refreshPortList(false);
    EXPECT_EQ(entries().size(), 3u);
    EXPECT_EQ(selected(), ports.devicePath("ttyUSB1"));

    ports.remove("ttyUSB1");
    box.refreshPortList(false);
    EXPECT_EQ(selected(), ports.devicePath("ttyACM0")) << "first entry when the selected port is gone";
}

TEST_F(ConnectionBox, OpeningTheChoiceRefreshesTheList)
{
    int refreshes = 0;
    portChoice->onBeforePopup([&] { ++refreshes; });
    portChoice->handle(FL_PUSH);  // empty: no menu pops up
    EXPECT_EQ(refreshes, 1);
    portChoice->deactivate();
    portChoice->handle(FL_PUSH);
    EXPECT_EQ(refreshes, 1) << "an inactive choice does not open";
}

TEST_F(ConnectionBox, SelectsByNameIgnoringCaseElseTheFirstEntry)
{
    EXPECT_EQ(box.selectedPortName(), nullptr);
    box.selectPort("COM1");
    EXPECT_EQ(box.selectedPortName(), nullptr) << "nothing to select in an empty list";
    for (const char* name : {"COM1", "COM3", "COM10"}) box.addPort(name);
    box.selectPort("com3");
    EXPECT_EQ(selected(), "COM3");
    box.selectPort("COM9");
    EXPECT_EQ(selected(), "COM1");
    box.selectPort("COM10");
    box.selectPort(nullptr);
    EXPECT_EQ(selected(), "COM1");
}

TEST_F(ConnectionBox, ConnectAndDisconnectOnAPseudoTerminal)
{
    PseudoTerminal pty;
    ports.add("ttyS0");
    box.refreshPortList(false);
    box.keepPort(pty.path().c_str());
    box.refreshPortList(false);
    EXPECT_EQ(entries().back(), pty.path()) << "a kept port survives a refresh";
    box.selectPort(pty.path().c_str());
    expectOpenState(false);

    connectButton->do_callback();
    expectOpenState(true);
    disconnectButton->do_callback();
    expectOpenState(false);

    // An open from elsewhere (the update run) moves the selection along.
    box.selectPort(ports.devicePath("ttyS0").c_str());
    ASSERT_GE(channel.open(pty.path().c_str(), nullptr), 0);
    EXPECT_EQ(selected(), pty.path());
    expectOpenState(true);
    channel.close();
    expectOpenState(false);
    EXPECT_EQ(logText(), "") << "nothing to report when all went well";
}

TEST_F(ConnectionBox, FailedOpenSaysWhichPortAndWhy)
{
    const std::string missing = "/dev/t3xx-no-such-port";
    box.keepPort(missing.c_str());
    box.selectPort(missing.c_str());
    connectButton->do_callback();
    expectOpenState(false);
    EXPECT_EQ(logText(), "Cannot open port " + missing + ": " + port.lastErrorText() + "\n");
    EXPECT_NE(logText().find("no such"), std::string::npos) << logText();

    onClearLog(nullptr, nullptr);
    PseudoTerminal pty;
    vek::SerialPort otherProgram;
    ASSERT_EQ(otherProgram.open(pty.path().c_str(), nullptr), 0);
    box.keepPort(pty.path().c_str());
    box.selectPort(pty.path().c_str());
    connectButton->do_callback();
    expectOpenState(false);
    EXPECT_NE(logText().find("Cannot open port " + pty.path() + ": "), std::string::npos);
    EXPECT_NE(logText().find("in use"), std::string::npos) << logText();
}

TEST_F(ConnectionBox, WithoutPortsConnectChangesNothing)
{
    box.refreshPortList(false);
    EXPECT_TRUE(entries().empty());
    connectButton->do_callback();
    expectOpenState(false);
    EXPECT_EQ(logText(), "Cannot open port: no port chosen\n");
}

}  // namespace
