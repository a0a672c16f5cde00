// The update driven from the program's own buttons against a simulated
// detector: "Start update" in the main window and the debug window's device
// requests, with the log pane, step boxes and progress bar they change.

#include "gui_test_support.h"

#include "app/comm_setup.h"
#include "app/debug_window.h"
#include "app/main_window.h"
#include "app/main_window_update_view.h"
#include "app/startup.h"
#include "app/update_actions.h"
#include "firmware/program_firmware.h"
#include "tools/devsim/simulator.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Progress.H>

#include <cstring>
#include <string>
#include <vector>

namespace {

class UpdateFromTheWindow : public WindowsTest {
protected:
    void SetUp() override
    {
        WindowsTest::SetUp();
        setPreferenceFolders({preferences.path().c_str(), preferences.path().c_str()});
        FirmwareCatalogue& catalogue = programCatalogue();
        catalogue.buildCatalogue();
        fillFirmwareChoice(firmwareChoice310, [&](int i) { return catalogue.firmwareDescription(310, i); }, false);
        fillFirmwareChoice(firmwareChoice320, [&](int i) { return catalogue.firmwareDescription(320, i); }, true);
        linkCommunicationObjects();
        connectUpdateActions();
        programUpdateView().setAlert([this](const char* text) { alerts.emplace_back(text); });
    }
    void TearDown() override
    {
        versatileChannel.close();
        connectionBox.attachWidgets(nullptr, nullptr, nullptr);
        programUpdateView().setAlert(nullptr);
        setPreferenceFolders({});
        WindowsTest::TearDown();
    }

    void usePort(const std::string& port) { selectCommandLinePort(port.c_str()); }

    static Fl_Button* debugButtonLabelled(const char* label)
    {
        for (int i = 0; i < debugWindow->children(); ++i) {
            Fl_Widget* child = debugWindow->child(i);
            if (child->label() != nullptr && std::strcmp(child->label(), label) == 0) {
                return static_cast<Fl_Button*>(child);
            }
        }
        return nullptr;
    }

    TempFolder preferences;
    std::vector<std::string> alerts;
};

TEST_F(UpdateFromTheWindow, StartUpdateFlashesTheChosenFirmwareAndLogsEveryStep)
{
    vek::devsim::Simulator sim;  // a T310 running its application
    usePort(sim.startPty());
    firmwareChoice310->value(2);
    const int chosen = firmwareChoice310->value();
    showAndSettle(mainWindow);

    startButton->do_callback();

    const std::string expected =
        "Device in application mode ...\n"
        "  ... switching to bootloader\n"
        "Detecting bootloader ...\n"
        "Bootloader version: 1.04\n"
        "496 pages @ 256 bytes\n"
        "Target device is T310\n";
    EXPECT_EQ(logText(), expected);
    EXPECT_TRUE(alerts.empty());

    // Back to idle: only the start button is active again.
    EXPECT_TRUE(startButton->active());
    for (Fl_Widget* step : {static_cast<Fl_Widget*>(stepConnect), static_cast<Fl_Widget*>(stepBootloader),
                            static_cast<Fl_Widget*>(stepTransmit), static_cast<Fl_Widget*>(progressBar),
                            static_cast<Fl_Widget*>(stepRestart)}) {
        EXPECT_FALSE(step->active()) << step->label();
    }
    EXPECT_STREQ(progressBar->label(), "496/496");
    EXPECT_EQ(progressBar->value(), 100.0f);
    EXPECT_EQ(progressBar->selection_color(), MainWindowUpdateView::kProgressColour);

    const HexBuffer* image = programImages().firmwareImage(310, chosen);
    ASSERT_NE(image, nullptr);
    const vek::ByteVector flash = sim.flash();
    EXPECT_EQ(flash, vek::ByteVector(image->data(), image->data() + flash.size()));
    EXPECT_EQ(sim.report().restarts, 1);
}

TEST_F(UpdateFromTheWindow, DebugButtonsPingSwitchAndRestartTheDevice)
{
    vek::devsim::Simulator sim;
    usePort(sim.startPty());
    ASSERT_EQ(versatileChannel.open(connectionBox.selectedPortName(), nullptr), 0);

    debugButtonLabelled("Ping App")->do_callback();
    debugButtonLabelled("Enter Boot")->do_callback();
    debugButtonLabelled("Ping Boot")->do_callback();
    debugButtonLabelled("Reset")->do_callback();

    EXPECT_EQ(logText(),
              "Ping: 1\n"
              "Device in application mode\n"
              "Entering Bootloader ...\n"
              "Ping: 2\n"
              "Device in bootloader mode\n");
    EXPECT_EQ(sim.report().enterBootloaderRequests, 1);
    EXPECT_EQ(sim.report().restarts, 1);
    EXPECT_EQ(sim.mode(), vek::devsim::DeviceModel::Mode::Application);
}

}  // namespace
