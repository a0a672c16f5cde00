#pragma once

// The program-wide communication objects, their links to each other and to
// the main window, and the saved port name.

#include "app/phys_conn_box_presenter.h"
#include "channel/serial_port.h"
#include "channel/versatile_channel.h"
#include "protocol/protocol_handler.h"

// Constructed before main in this order and destroyed in the reverse order:
// each refers to the ones before it.
extern vek::SerialPort serialPort;
extern vek::VersatileChannel versatileChannel;
extern Fl_PhysConnBoxPresenter connectionBox;
extern vek::VekProtocolHandler protocolHandler;

// The port name read from the preferences.
extern char portPreference[256];

// Where the preferences live: "<vendor>/T310Update.prefs" under the user's
// FLTK preferences folder, read also from the machine-wide folder. Tests set
// both folders; empty strings mean FLTK's own.
struct PreferenceFolders {
    const char* user = "";
    const char* machine = "";
};
void setPreferenceFolders(PreferenceFolders folders);

// Reads "Portname" of group "Com" into portPreference: the user's entry,
// else the machine-wide one, else "COM1".
void loadPortPreference();

// Links channel, connection box and protocol handler to each other and to
// the main window's port widgets, lists the ports and selects the saved one.
void linkCommunicationObjects();

// Selects a port named on the command line, adding it to the list (and
// keeping it there) when the enumeration did not find it.
void selectCommandLinePort(const char* name);

// Stores the selected port name (an empty text when none) in the user's
// preferences.
void savePortPreference();
