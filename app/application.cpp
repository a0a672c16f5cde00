#include "app/application.h"

#include "app/autoscrolling_text_display.h"
#include "app/command_line.h"
#include "app/comm_setup.h"
#include "app/debug_window.h"
#include "app/icons.h"
#include "app/main_window.h"
#include "app/on_screen.h"
#include "app/startup.h"
#include "app/update_actions.h"
#include "app/warning_window.h"

#include "firmware/program_firmware.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/fl_ask.H>

char titleText[64] = "";

int checkFirmwareVersion(const FirmwareCatalogue& catalogue, const std::function<void(const char*)>& alert)
{
    if (catalogue.versionStatus() < 0) {
        alert("Resource not found!");
        return 1;
    }
    if (catalogue.versionStatus() == 0) {
        alert("Resource error!");
        return 1;
    }
    return 0;
}

namespace {

void showAlert(const char* text)
{
    fl_alert("%s", text);
}

void logLine(const char* line)
{
    if (logDisplay != nullptr) logDisplay->printf("%s", line);
}

}  // namespace

int runApplication(int argc, char** argv)
{
    CommandLine commandLine;
    if (const int code = parseCommandLine(argc, argv, commandLine); code >= 0) return code;

    connectProgramFirmwareReports({logLine, showAlert});
    FirmwareCatalogue& catalogue = programCatalogue();
    catalogue.buildCatalogue();
    if (const int code = checkFirmwareVersion(catalogue, showAlert); code != 0) return code;
    formatTitle(titleText, catalogue.versionCode(), catalogue.versionRevision());

    loadPortPreference();

    buildMainWindow();
    fileGroup->hide();
    debugButton->hide();
    firmwareGroup->show();
    mainWindow->label(titleText);
    fillFirmwareChoice(firmwareChoice310, [&](int i) { return catalogue.firmwareDescription(310, i); }, false);
    fillFirmwareChoice(firmwareChoice320, [&](int i) { return catalogue.firmwareDescription(320, i); }, true);

    linkCommunicationObjects();
    if (commandLine.port != nullptr) selectCommandLinePort(commandLine.port);

    logDisplay->printf("%s\n", titleText);

    buildDebugWindow();
    debugActions.showResourceInfo = [&catalogue] { catalogue.showResourceInfo(); };
    connectUpdateActions();
    buildWarningWindow();
    fillWarningText();

    mainWindow->icon(&windowIcon);
    mainWindow->show();
    Fl::set_atclose(onWindowClose);

    waitUntilOnScreen(mainWindow);
    warningWindow->position(mainWindow->x() + 87, mainWindow->y() + 70);
    warningWindow->show();

    const int result = Fl::run();
    savePortPreference();
    return result;
}
