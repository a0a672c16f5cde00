// The log pane (autoscroll, 255-character cut, clearing) and the buttons
// that fade their own image.

#include "gui_test_support.h"

#include "app/autodeimaging_button.h"
#include "app/autoscrolling_text_display.h"
#include "app/icons.h"
#include "app/main_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include <string>

namespace {

using LogPane = WindowsTest;

bool isVisible(int position)
{
    int x = 0;
    int y = 0;
    return logDisplay->position_to_xy(position, &x, &y) != 0;
}

void appendLines(int count)
{
    for (int i = 0; i < count; ++i) logDisplay->printf("line %d of the log\n", i);
    Fl::check();
}

TEST_F(LogPane, FollowsTheEndWhileTheUserLooksAtIt)
{
    showAndSettle(mainWindow);
    appendLines(1);
    logDisplay->insert_position(3);
    appendLines(60);
    EXPECT_FALSE(isVisible(0));
    EXPECT_TRUE(isVisible(logDisplay->buffer()->length()));
    EXPECT_EQ(logDisplay->insert_position(), 3) << "appended text moved the cursor";
}

TEST_F(LogPane, StaysWhereTheUserScrolledTo)
{
    showAndSettle(mainWindow);
    appendLines(60);
    logDisplay->scroll(10, 0);
    Fl::check();
    const int firstShown = logDisplay->buffer()->line_start(logDisplay->buffer()->skip_lines(0, 9));
    ASSERT_TRUE(isVisible(firstShown));
    appendLines(5);
    EXPECT_TRUE(isVisible(firstShown));
    EXPECT_FALSE(isVisible(logDisplay->buffer()->length()));
    // Back at the end, it follows again.
    logDisplay->scroll(logDisplay->count_lines(0, logDisplay->buffer()->length(), true), 0);
    Fl::check();
    appendLines(5);
    EXPECT_TRUE(isVisible(logDisplay->buffer()->length()));
}

TEST_F(LogPane, CutsAMessageAfter255Characters)
{
    const std::string longText(300, 'x');
    logDisplay->printf("%s", longText.c_str());
    EXPECT_EQ(logText(), std::string(255, 'x'));
}

TEST_F(LogPane, CutNeverSplitsACharacter)
{
    // 254 ASCII characters and a two-byte letter: the letter does not fit.
    const std::string text = std::string(254, 'x') + "\xC3\xBC" + "tail";
    logDisplay->printf("%s", text.c_str());
    EXPECT_EQ(logText(), std::string(254, 'x'));
}

TEST_F(LogPane, ClearEmptiesItAndNewTextStartsAtTheTop)
{
    showAndSettle(mainWindow);
    appendLines(60);
    onClearLog(nullptr, nullptr);
    EXPECT_EQ(logText(), "");
    logDisplay->printf("%s\n", "after clearing");
    Fl::check();
    EXPECT_EQ(logText(), "after clearing\n");
    EXPECT_TRUE(isVisible(0));
}

TEST_F(LogPane, ClearButtonClearsTheLog)
{
    logDisplay->printf("something\n");
    Fl_Widget* clearButton = logDisplay->parent()->child(1);
    ASSERT_STREQ(clearButton->tooltip(), "clear");
    clearButton->do_callback();
    EXPECT_EQ(logText(), "");
}

// A standalone display owns its buffer and lets go of it in the right order
// (the sanitizer build reports a use after free otherwise).
TEST(LogDisplayLifetime, DeletesItsBufferAfterTheDisplayLetGo)
{
    fl_open_display();
    auto* window = new Fl_Double_Window(200, 200);
    auto* display = new Fl_Autoscrolling_Text_Display(0, 0, 200, 200, nullptr);
    window->end();
    display->printf("%d\n", 42);
    delete window;
}

using DeimagingButton = WindowsTest;

unsigned char redOf(Fl_Image* image, int x, int y)
{
    const auto* pixels = static_cast<const unsigned char*>(static_cast<const void*>(image->data()[0]));
    return pixels[(y * image->w() + x) * image->d()];
}

TEST_F(DeimagingButton, KeepsOneFadedCopyOfTheLatestImage)
{
    Fl_Autodeimaging_Button button(0, 0, 25, 25);
    EXPECT_EQ(button.deimage(), nullptr);
    button.set_image(&connectIcon);
    Fl_Image* first = button.deimage();
    ASSERT_NE(first, nullptr);
    button.set_image(&disconnectIcon);
    Fl_Image* second = button.deimage();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(button.image(), &disconnectIcon);
    EXPECT_NE(second, static_cast<Fl_Image*>(&disconnectIcon));
    EXPECT_EQ(second->w(), 16);
    EXPECT_EQ(second->h(), 16);
    // The red plug body at (3, 7) is faded towards the grey background.
    const unsigned char original = redOf(&disconnectIcon, 3, 7);
    const unsigned char faded = redOf(second, 3, 7);
    EXPECT_LT(faded, original);
    // The sanitizer build reports the first copy if it was not deleted.
}

}  // namespace
