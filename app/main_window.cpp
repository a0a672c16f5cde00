#include "app/main_window.h"

#include "app/autodeimaging_button.h"
#include "app/autoscrolling_text_display.h"
#include "app/debug_window.h"
#include "app/icons.h"
#include "app/port_choice.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Progress.H>

Fl_Autoscrolling_Text_Display* logDisplay = nullptr;

Fl_Double_Window* mainWindow = nullptr;
Fl_Button* startButton = nullptr;
Fl_Box* stepConnect = nullptr;
Fl_Box* stepBootloader = nullptr;
Fl_Box* stepTransmit = nullptr;
Fl_Progress* progressBar = nullptr;
Fl_Box* stepRestart = nullptr;
Fl_Button* debugButton = nullptr;
Fl_Port_Choice* portChoice = nullptr;
Fl_Autodeimaging_Button* connectButton = nullptr;
Fl_Autodeimaging_Button* disconnectButton = nullptr;
Fl_Group* fileGroup = nullptr;
Fl_Input* fileInput = nullptr;
Fl_Group* firmwareGroup = nullptr;
Fl_Choice* firmwareChoice310 = nullptr;
Fl_Choice* firmwareChoice320 = nullptr;

void onShowDebugWindow(Fl_Widget*, void*)
{
    if (debugWindow != nullptr) debugWindow->show();
}

void onClearLog(Fl_Widget*, void*)
{
    if (logDisplay != nullptr) logDisplay->clear();
}

void onBrowse(Fl_Widget*, void*)
{
    const char* picked = fl_file_chooser("Hexfile/Binfile", "*.{a90,bin}", fileInput->value(), 0);
    if (picked != nullptr) fileInput->value(picked);
}

namespace {

// The firmware build's output folders on the development machine.
void onStandardFirmware(Fl_Widget*, void* path)
{
    fileInput->value(static_cast<const char*>(path));
}

Fl_Menu_Item standardFirmwareMenu[] = {
    {"T310 Debug", 0, onStandardFirmware,
     const_cast<char*>("J:/Project/205/800_AVR/aktuell/iar/Debug/Exe/T310.a90"), 0, FL_NORMAL_LABEL, 0, 14, 0},
    {"T310 Release", 0, onStandardFirmware,
     const_cast<char*>("J:/Project/205/800_AVR/aktuell/iar/Release/Exe/T310.a90"), 0, FL_NORMAL_LABEL, 0, 14, 0},
    {"T320 Debug", 0, onStandardFirmware,
     const_cast<char*>("J:/Project/205/800_AVR/aktuell/iar/T320_Debug/Exe/T320.a90"), 0, FL_NORMAL_LABEL, 0, 14,
     0},
    {"T320 Release", 0, onStandardFirmware,
     const_cast<char*>("J:/Project/205/800_AVR/aktuell/iar/T320_Release/Exe/T320.a90"), 0, FL_NORMAL_LABEL, 0,
     14, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0}};

Fl_Box* makeStep(int y, const char* label)
{
    auto* box = new Fl_Box(45, y, 310, 25, label);
    box->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    box->deactivate();
    return box;
}

}  // namespace

Fl_Double_Window* buildMainWindow()
{
    auto* w = mainWindow = new Fl_Double_Window(740, 367, "T3xx Update");
    {
        auto* updateGroup = new Fl_Group(25, 165, 460, 195);
        {
            startButton = new Fl_Button(155, 165, 175, 25, "Start update");
            startButton->callback(onStartUpdate);
        }
        {
            auto* stepGroup = new Fl_Group(30, 225, 420, 135);
            stepGroup->box(FL_ENGRAVED_BOX);
            stepConnect = makeStep(225, "Connect to T310 / T320");
            stepBootloader = makeStep(250, "Start bootloader");
            stepTransmit = makeStep(275, "Transmit application");
            progressBar = new Fl_Progress(65, 300, 275, 25);
            progressBar->selection_color(static_cast<Fl_Color>(71));
            progressBar->maximum(100);
            progressBar->deactivate();
            stepRestart = makeStep(335, "Restart device");
            stepGroup->end();
        }
        {
            debugButton = new Fl_Button(455, 335, 25, 25, "!");
            debugButton->labelcolor(FL_RED);
            debugButton->callback(onShowDebugWindow);
        }
        updateGroup->end();
    }
    {
        auto* logGroup = new Fl_Group(500, 55, 230, 305);
        logGroup->box(FL_ENGRAVED_FRAME);
        {
            logDisplay = new Fl_Autoscrolling_Text_Display(505, 100, 220, 255, "Log:");
            logDisplay->box(FL_DOWN_FRAME);
            logDisplay->align(FL_ALIGN_TOP_LEFT);
        }
        {
            auto* clearButton = new Fl_Button(695, 65, 25, 25);
            clearButton->tooltip("clear");
            clearButton->image(clearIcon);
            clearButton->callback(onClearLog);
        }
        logGroup->end();
    }
    {
        connectButton = new Fl_Autodeimaging_Button(670, 15, 25, 25);
        connectButton->tooltip("connect");
        connectButton->box(FL_UP_BOX);
        connectButton->color(static_cast<Fl_Color>(49));
        connectButton->set_image(&connectIcon);
    }
    {
        disconnectButton = new Fl_Autodeimaging_Button(705, 15, 25, 25);
        disconnectButton->tooltip("disconnect");
        disconnectButton->box(FL_UP_BOX);
        disconnectButton->color(static_cast<Fl_Color>(49));
        disconnectButton->set_image(&disconnectIcon);
    }
    {
        portChoice = new Fl_Port_Choice(565, 15, 95, 25, "Port:");
        portChoice->textsize(14);
    }
    {
        fileGroup = new Fl_Group(25, 5, 460, 100);
        fileGroup->hide();
        {
            fileInput = new Fl_Input(30, 70, 420, 25, "Application file:");
            fileInput->align(FL_ALIGN_TOP_LEFT);
        }
        {
            auto* browseButton = new Fl_Button(455, 70, 25, 25, "...");
            browseButton->callback(onBrowse);
        }
        {
            auto* menu = new Fl_Menu_Button(250, 30, 200, 25, "Standard firmwares");
            menu->menu(standardFirmwareMenu);
        }
        fileGroup->end();
    }
    {
        firmwareGroup = new Fl_Group(30, 15, 420, 120, "Available firmware:");
        firmwareGroup->box(FL_ENGRAVED_BOX);
        firmwareGroup->align(FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE);
        {
            firmwareChoice310 = new Fl_Choice(85, 50, 355, 25, "T310:");
            firmwareChoice310->textsize(14);
        }
        {
            firmwareChoice320 = new Fl_Choice(85, 90, 355, 25, "T320:");
            firmwareChoice320->textsize(14);
        }
        firmwareGroup->end();
    }
    w->resizable(w);
    w->end();
    return w;
}

void destroyMainWindow()
{
    delete mainWindow;
    mainWindow = nullptr;
    logDisplay = nullptr;
    startButton = nullptr;
    stepConnect = stepBootloader = stepTransmit = stepRestart = nullptr;
    progressBar = nullptr;
    debugButton = nullptr;
    portChoice = nullptr;
    connectButton = disconnectButton = nullptr;
    fileGroup = nullptr;
    fileInput = nullptr;
    firmwareGroup = nullptr;
    firmwareChoice310 = firmwareChoice320 = nullptr;
}
