#pragma once

#include <gtest/gtest.h>

#include <string>

// Builds the three windows as start-up does (nothing shown) and deletes them
// again after each test, so every test starts from fresh widgets.
class WindowsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Shows a window and lets FLTK map and draw it.
    static void showAndSettle(class Fl_Window* window);
};

// The whole text of the log pane.
std::string logText();
