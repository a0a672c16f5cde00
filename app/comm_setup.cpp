#include "app/comm_setup.h"

#include "app/autodeimaging_button.h"
#include "app/main_window.h"
#include "app/port_choice.h"
#include "update/session_sources.h"

#include <FL/Fl_Preferences.H>

#include <cstring>
#include <memory>
#include <string>

// Order matters: destroyed in reverse, so nothing outlives what it points to.
vek::SerialPort serialPort;
vek::VersatileChannel versatileChannel;
Fl_PhysConnBoxPresenter connectionBox;
vek::VekProtocolHandler protocolHandler;

char portPreference[256] = "";

namespace {

constexpr const char* kVendor = "t3xx";
constexpr const char* kApplication = "T310Update";
constexpr const char* kGroup = "Com";
constexpr const char* kKey = "Portname";
constexpr const char* kDefaultPort = "COM1";

std::string userFolder;
std::string machineFolder;

// The user's preferences: the machine-wide ones cannot be written by a
// normal user on Linux, and FLTK would drop the saved port silently.
std::unique_ptr<Fl_Preferences> openPreferences(const std::string& folder, Fl_Preferences::Root root)
{
    if (!folder.empty()) return std::make_unique<Fl_Preferences>(folder.c_str(), kVendor, kApplication);
    return std::make_unique<Fl_Preferences>(root, kVendor, kApplication);
}

}  // namespace

void setPreferenceFolders(PreferenceFolders folders)
{
    userFolder = folders.user != nullptr ? folders.user : "";
    machineFolder = folders.machine != nullptr ? folders.machine : "";
}

void loadPortPreference()
{
    std::strcpy(portPreference, kDefaultPort);
    for (auto root : {Fl_Preferences::USER, Fl_Preferences::SYSTEM}) {
        auto prefs = openPreferences(root == Fl_Preferences::USER ? userFolder : machineFolder, root);
        // Reading only: a group made by looking would be written back.
        if (!prefs->groupExists(kGroup)) continue;
        Fl_Preferences com(*prefs, kGroup);
        if (com.entryExists(kKey)) {
            com.get(kKey, portPreference, kDefaultPort, sizeof portPreference - 1);
            return;
        }
    }
}

void linkCommunicationObjects()
{
    versatileChannel.attachSerialPort(&serialPort);
    versatileChannel.setSerialSettings("38400,n,8,1");
    versatileChannel.setViewAdapter(&connectionBox);
    connectionBox.attachWidgets(portChoice, connectButton, disconnectButton);
    connectionBox.setChannel(&versatileChannel);
    connectionBox.refreshPortList(false);
    connectionBox.selectPort(portPreference);
    protocolHandler.setChannel(&versatileChannel);

    connectionBox.setOpenFailureReason(vek::serialOpenFailureReason(serialPort));
    // A USB adapter plugged in after start-up appears when the list opens.
    portChoice->onBeforePopup([] { connectionBox.refreshPortList(false); });
}

void selectCommandLinePort(const char* name)
{
    connectionBox.keepPort(name);
    connectionBox.selectPort(name);
}

void savePortPreference()
{
    auto prefs = openPreferences(userFolder, Fl_Preferences::USER);
    Fl_Preferences com(*prefs, kGroup);
    const char* name = connectionBox.selectedPortName();
    com.set(kKey, name != nullptr ? name : "");
}
