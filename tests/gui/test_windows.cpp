// The three windows as built at start-up, the title, the firmware choices
// and the warning that must be accepted.

#include "gui_test_support.h"

#include "app/autodeimaging_button.h"
#include "app/autoscrolling_text_display.h"
#include "app/debug_window.h"
#include "app/main_window.h"
#include "app/port_choice.h"
#include "app/startup.h"
#include "app/warning_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Text_Display.H>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string title(int code, int revision)
{
    char text[64];
    formatTitle(text, code, revision);
    return text;
}

TEST(Title, ShowsTheFirmwareVersionWithoutLeadingZeroAndTheRevision)
{
    EXPECT_EQ(title(346, 0), "T310 / T320 Update V3.46");
    EXPECT_EQ(title(305, 2), "T310 / T320 Update V3.5r2");
    EXPECT_EQ(title(400, -1), "T310 / T320 Update V4.0");
}

struct Geometry {
    Fl_Widget* widget;
    int x, y, w, h;
    const char* label;
};

void expectGeometry(const std::vector<Geometry>& table)
{
    for (const Geometry& g : table) {
        ASSERT_NE(g.widget, nullptr) << g.label;
        SCOPED_TRACE(g.label ? g.label : "(no label)");
        EXPECT_EQ(g.widget->x(), g.x);
        EXPECT_EQ(g.widget->y(), g.y);
        EXPECT_EQ(g.widget->w(), g.w);
        EXPECT_EQ(g.widget->h(), g.h);
        if (g.label != nullptr)
            EXPECT_STREQ(g.widget->label(), g.label);
        else
            EXPECT_EQ(g.widget->label(), nullptr);
    }
}

using MainWindowLayout = WindowsTest;

TEST_F(MainWindowLayout, MatchesTheDesign)
{
    Fl_Group* updateGroup = startButton->parent();
    Fl_Group* stepGroup = stepConnect->parent();
    Fl_Group* logGroup = logDisplay->parent();
    expectGeometry({
        {mainWindow, mainWindow->x(), mainWindow->y(), 740, 367, "T3xx Update"},
        {updateGroup, 25, 165, 460, 195, nullptr},
        {startButton, 155, 165, 175, 25, "Start update"},
        {stepGroup, 30, 225, 420, 135, nullptr},
        {stepConnect, 45, 225, 310, 25, "Connect to T310 / T320"},
        {stepBootloader, 45, 250, 310, 25, "Start bootloader"},
        {stepTransmit, 45, 275, 310, 25, "Transmit application"},
        {progressBar, 65, 300, 275, 25, nullptr},
        {stepRestart, 45, 335, 310, 25, "Restart device"},
        {debugButton, 455, 335, 25, 25, "!"},
        {logGroup, 500, 55, 230, 305, nullptr},
        {logDisplay, 505, 100, 220, 255, "Log:"},
        {logGroup->child(1), 695, 65, 25, 25, nullptr},
        {connectButton, 670, 15, 25, 25, nullptr},
        {disconnectButton, 705, 15, 25, 25, nullptr},
        {portChoice, 565, 15, 95, 25, "Port:"},
        {fileGroup, 25, 5, 460, 100, nullptr},
        {fileInput, 30, 70, 420, 25, "Application file:"},
        {fileGroup->child(1), 455, 70, 25, 25, "..."},
        {fileGroup->child(2), 250, 30, 200, 25, "Standard firmwares"},
        {firmwareGroup, 30, 15, 420, 120, "Available firmware:"},
        {firmwareChoice310, 85, 50, 355, 25, "T310:"},
        {firmwareChoice320, 85, 90, 355, 25, "T320:"},
    });
    // Creation order of the window's direct children.
    const std::vector<Fl_Widget*> order = {updateGroup, logGroup,  connectButton, disconnectButton,
                                           portChoice,  fileGroup, firmwareGroup};
    ASSERT_EQ(mainWindow->children(), static_cast<int>(order.size()));
    for (int i = 0; i < mainWindow->children(); ++i) EXPECT_EQ(mainWindow->child(i), order[i]) << i;
    EXPECT_EQ(mainWindow->resizable(), mainWindow);

    EXPECT_EQ(stepGroup->box(), FL_ENGRAVED_BOX);
    EXPECT_EQ(logGroup->box(), FL_ENGRAVED_FRAME);
    EXPECT_EQ(firmwareGroup->box(), FL_ENGRAVED_BOX);
    EXPECT_EQ(logDisplay->box(), FL_DOWN_FRAME);
    EXPECT_EQ(logDisplay->align(), FL_ALIGN_TOP_LEFT);
    for (Fl_Box* step : {stepConnect, stepBootloader, stepTransmit, stepRestart}) {
        EXPECT_EQ(step->align(), FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
        EXPECT_FALSE(step->active());
    }
    EXPECT_FALSE(progressBar->active());
    EXPECT_EQ(progressBar->selection_color(), 71u);
    EXPECT_EQ(progressBar->maximum(), 100.0f);
    EXPECT_EQ(debugButton->labelcolor(), FL_RED);
    EXPECT_STREQ(connectButton->tooltip(), "connect");
    EXPECT_STREQ(disconnectButton->tooltip(), "disconnect");
    EXPECT_EQ(connectButton->box(), FL_UP_BOX);
    EXPECT_EQ(connectButton->color(), 49u);
    EXPECT_EQ(portChoice->textsize(), 14);
    EXPECT_EQ(firmwareChoice310->textsize(), 14);
    EXPECT_FALSE(fileGroup->visible()) << "the file group is hidden at creation";
    EXPECT_EQ(fileInput->align(), FL_ALIGN_TOP_LEFT);
}

TEST_F(MainWindowLayout, StandardFirmwareMenuFillsTheFileInput)
{
    auto* menu = static_cast<Fl_Menu_*>(fileGroup->child(2));
    ASSERT_EQ(menu->size(), 5);  // four items and the terminator
    const Fl_Menu_Item* item = &menu->menu()[3];
    EXPECT_STREQ(item->label(), "T320 Release");
    EXPECT_EQ(item->labelsize(), 14);
    item->do_callback(menu);
    EXPECT_STREQ(fileInput->value(), "J:/Project/205/800_AVR/aktuell/iar/T320_Release/Exe/T320.a90");
}

using OtherWindows = WindowsTest;

TEST_F(OtherWindows, WarningAndDebugWindowsMatchTheDesign)
{
    EXPECT_EQ(warningWindow->w(), 510);
    EXPECT_EQ(warningWindow->h(), 214);
    EXPECT_STREQ(warningWindow->label(), "Warning / Warnung");
    EXPECT_TRUE(warningWindow->modal());
    expectGeometry({
        {acceptCheck, 80, 180, 155, 25, "accept / akzeptieren"},
        {warningWindow->child(1), 255, 180, 160, 25, "OK"},
        {warningText, 25, 15, 465, 155, nullptr},
    });
    EXPECT_EQ(acceptCheck->down_box(), FL_DOWN_BOX);

    EXPECT_EQ(debugWindow->w(), 319);
    EXPECT_EQ(debugWindow->h(), 234);
    EXPECT_STREQ(debugWindow->label(), "Error tests");
    EXPECT_FALSE(debugWindow->modal());
    expectGeometry({
        {debugWindow->child(0), 0, 0, 320, 25, "Only for debugging purposes!"},
        {debugWindow->child(1), 50, 35, 190, 25, "Damage application"},
        {debugWindow->child(2), 50, 75, 190, 25, "Cause time-out"},
        {debugWindow->child(3), 50, 115, 80, 25, "Ping App"},
        {debugWindow->child(4), 160, 115, 80, 25, "Ping Boot"},
        {debugWindow->child(5), 50, 145, 80, 25, "Enter Boot"},
        {debugWindow->child(6), 160, 145, 80, 25, "Reset"},
        {debugWindow->child(7), 50, 175, 80, 25, "Rsrc Info"},
    });
    EXPECT_EQ(debugWindow->child(1)->labelcolor(), FL_RED);
}

TEST_F(OtherWindows, NoticeIsInUtf8AndWrappedWithinTheDisplay)
{
    char* text = warningText->buffer()->text();
    const std::string notice = text;
    free(text);
    EXPECT_EQ(notice.rfind("The 7. Supplement", 0), 0u);
    EXPECT_NE(notice.find("newer.\n\nDer 7. Nachtrag"), std::string::npos);
    EXPECT_NE(notice.find("EG-Baumusterpr\xC3\xBC"
                          "fbescheinigung"),
              std::string::npos);
    EXPECT_NE(notice.find("Ger\xC3\xA4te"), std::string::npos);
    // Wrapped: every line fits, so there is nothing to scroll sideways to.
    showAndSettle(warningWindow);
    EXPECT_GT(warningText->count_lines(0, warningText->buffer()->length(), true), 6);
    const int textRight = warningText->x() + warningText->w() - warningText->scrollbar_width();
    for (const char* word : {"newer.", "neuer."}) {
        int x = 0;
        int y = 0;
        const int end = static_cast<int>(notice.find(word)) + static_cast<int>(std::strlen(word));
        ASSERT_NE(warningText->position_to_xy(end, &x, &y), 0) << word << " is in view";
        EXPECT_LE(x, textRight) << word;
    }
    acceptCheck->value(1);
    warningWindow->hide();
}

TEST_F(OtherWindows, DebugWindowShowsThroughItsButtonAndReportsPings)
{
    debugButton->do_callback();
    EXPECT_TRUE(debugWindow->shown());
    debugWindow->hide();

    int askedVariant = -1;
    debugActions.ping = [&](int variant) {
        askedVariant = variant;
        return 2;
    };
    debugWindow->child(4)->do_callback();  // Ping Boot
    EXPECT_EQ(askedVariant, 1);
    for (int result : {1, 0, 7}) logPingReport(result);
    EXPECT_EQ(logText(),
              "Ping: 2\nDevice in bootloader mode\n"
              "Ping: 1\nDevice in application mode\n"
              "Ping: 0\nError\n"
              "Ping: 7\nUnknown behavior!\n");
    debugActions = DebugActions{};
}

using FirmwareChoices = WindowsTest;

TEST_F(FirmwareChoices, FilledInOrderWithFirstOrLastSelected)
{
    const std::vector<const char*> t310 = {"T310 (DE, EN, FR)   German, English, French",
                                           "T310 (DE, EN, ES)   German, English, Spanish", "T310 a/b_c"};
    auto from = [](const std::vector<const char*>& list) {
        return [&list](int i) { return i < static_cast<int>(list.size()) ? list[i] : nullptr; };
    };
    fillFirmwareChoice(firmwareChoice310, from(t310), false);
    fillFirmwareChoice(firmwareChoice320, from(t310), true);
    ASSERT_EQ(firmwareChoice310->size(), 4);
    EXPECT_EQ(firmwareChoice310->value(), 0);
    EXPECT_EQ(firmwareChoice320->value(), 2);
    EXPECT_STREQ(firmwareChoice310->menu()[1].label(), t310[1]);
    EXPECT_STREQ(firmwareChoice310->menu()[2].label(), "T310 a/b_c") << "a '/' makes no submenu";
}

TEST_F(FirmwareChoices, EmptyCatalogueLeavesNothingSelected)
{
    auto none = [](int) -> const char* { return nullptr; };
    fillFirmwareChoice(firmwareChoice310, none, false);
    fillFirmwareChoice(firmwareChoice320, none, true);
    EXPECT_EQ(firmwareChoice310->value(), -1);
    EXPECT_EQ(firmwareChoice320->value(), -1);
}

// Leaving the warning without accepting ends the process with status 1.
using WarningDeathTest = WindowsTest;

TEST_F(WarningDeathTest, OkWithoutAcceptingExits1)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    showAndSettle(warningWindow);
    EXPECT_EXIT(warningWindow->child(1)->do_callback(), ::testing::ExitedWithCode(1), "");
    acceptCheck->value(1);
}

TEST_F(WarningDeathTest, CloseControlWithoutAcceptingExits1)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Fl::set_atclose(onWindowClose);
    showAndSettle(warningWindow);
    EXPECT_EXIT(warningWindow->do_callback(), ::testing::ExitedWithCode(1), "");
    acceptCheck->value(1);
}

TEST_F(OtherWindows, AcceptedWarningOnlyHides)
{
    Fl::set_atclose(onWindowClose);
    showAndSettle(mainWindow);
    showAndSettle(warningWindow);
    acceptCheck->value(1);
    warningWindow->do_callback();
    EXPECT_FALSE(warningWindow->shown());
    showAndSettle(warningWindow);
    warningWindow->child(1)->do_callback();
    EXPECT_FALSE(warningWindow->shown());
    EXPECT_TRUE(mainWindow->shown());
    // Any other window is only hidden by its close control.
    mainWindow->do_callback();
    EXPECT_FALSE(mainWindow->shown());
}

}  // namespace
