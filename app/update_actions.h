#pragma once

// The program's update session on the program-wide channel and protocol
// handler, shown in the main window, and the buttons that drive it: "Start
// update" and the debug window's device requests.

class Fl_Widget;
class MainWindowUpdateView;

namespace vek {
class UpdateSession;
}

// Created on first use, after the communication objects it refers to.
vek::UpdateSession& programUpdateSession();
MainWindowUpdateView& programUpdateView();

// Connects the debug window's "Ping App", "Ping Boot", "Enter Boot" and
// "Reset" to the session, and tells it why a port could not be opened.
void connectUpdateActions();
