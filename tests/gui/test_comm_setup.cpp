// The program-wide communication objects as start-up links them, and the
// saved port name.

#include "gui_test_support.h"

#include "app/autodeimaging_button.h"
#include "app/comm_setup.h"
#include "app/main_window.h"
#include "app/port_choice.h"

#include <FL/Fl_Preferences.H>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

class CommunicationSetUp : public WindowsTest {
protected:
    void SetUp() override
    {
        WindowsTest::SetUp();
        setPreferenceFolders({user.path().c_str(), machine.path().c_str()});
    }
    void TearDown() override
    {
        versatileChannel.close();
        // The window goes; the program-wide box must not keep its widgets.
        connectionBox.attachWidgets(nullptr, nullptr, nullptr);
        setPreferenceFolders({});
        WindowsTest::TearDown();
    }

    static void writePreference(const std::string& folder, const char* name)
    {
        Fl_Preferences prefs(folder.c_str(), "t3xx", "T310Update");
        Fl_Preferences(prefs, "Com").set("Portname", name);
    }

    TempFolder user;
    TempFolder machine;
};

TEST_F(CommunicationSetUp, LinksChannelBoxAndHandler)
{
    versatileChannel.setSerialSettings("19200,e,7,2");
    linkCommunicationObjects();
    EXPECT_EQ(protocolHandler.channel(), &versatileChannel);
    const SerialSettings& settings = versatileChannel.serialSettings();
    EXPECT_EQ(settings.baudRate, 38400);
    EXPECT_EQ(settings.parity, 0);
    EXPECT_EQ(settings.dataBits, 8);
    EXPECT_EQ(settings.stopBits, 1);

    PseudoTerminal pty;
    selectCommandLinePort(pty.path().c_str());
    EXPECT_STREQ(connectionBox.selectedPortName(), pty.path().c_str());
    connectButton->do_callback();
    EXPECT_TRUE(versatileChannel.isOpen());
    EXPECT_TRUE(disconnectButton->active());
    EXPECT_FALSE(portChoice->active());
    disconnectButton->do_callback();
    EXPECT_FALSE(versatileChannel.isOpen());
    EXPECT_TRUE(portChoice->active());
}

TEST_F(CommunicationSetUp, PortPreferenceDefaultsToCom1AndReadingWritesNothing)
{
    loadPortPreference();
    EXPECT_STREQ(portPreference, "COM1");
    EXPECT_TRUE(fs::is_empty(user.path()));
    EXPECT_TRUE(fs::is_empty(machine.path()));
}

TEST_F(CommunicationSetUp, UserPreferenceComesBeforeTheMachineWideOne)
{
    writePreference(machine.path(), "/dev/ttyS7");
    loadPortPreference();
    EXPECT_STREQ(portPreference, "/dev/ttyS7");
    writePreference(user.path(), "/dev/ttyUSB3");
    loadPortPreference();
    EXPECT_STREQ(portPreference, "/dev/ttyUSB3");
}

TEST_F(CommunicationSetUp, SavesTheSelectedPortOrAnEmptyText)
{
    linkCommunicationObjects();
    selectCommandLinePort("/dev/ttyUSB9");
    savePortPreference();
    loadPortPreference();
    EXPECT_STREQ(portPreference, "/dev/ttyUSB9");

    portChoice->clear();
    savePortPreference();
    loadPortPreference();
    EXPECT_STREQ(portPreference, "");
    EXPECT_TRUE(fs::is_empty(machine.path())) << "only the user's preferences are written";
}

TEST_F(CommunicationSetUp, OverlongSavedNameIsCutToFitTheBuffer)
{
    const std::string longName = "/dev/" + std::string(300, 'x');
    writePreference(user.path(), longName.c_str());
    loadPortPreference();
    const std::string loaded = portPreference;
    EXPECT_GE(loaded.size(), 250u);
    EXPECT_LT(loaded.size(), sizeof portPreference);
    EXPECT_EQ(loaded, longName.substr(0, loaded.size()));
}

}  // namespace
