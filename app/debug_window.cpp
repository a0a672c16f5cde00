#include "app/debug_window.h"

#include "app/autoscrolling_text_display.h"
#include "app/main_window.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>

Fl_Double_Window* debugWindow = nullptr;
DebugActions debugActions;

void logPingReport(int result)
{
    if (logDisplay == nullptr) return;
    logDisplay->printf("Ping: %d\n", result);
    switch (result) {
    case 1: logDisplay->printf("Device in application mode\n"); break;
    case 2: logDisplay->printf("Device in bootloader mode\n"); break;
    case 0: logDisplay->printf("Error\n"); break;
    default: logDisplay->printf("Unknown behavior!\n"); break;
    }
}

namespace {

void onPing(Fl_Widget*, void* variant)
{
    if (!debugActions.ping) return;
    logPingReport(debugActions.ping(static_cast<int>(reinterpret_cast<long>(variant))));
}

void onEnterBoot(Fl_Widget*, void*)
{
    if (logDisplay != nullptr) logDisplay->printf("Entering Bootloader ...\n");
    if (debugActions.enterBootloader) debugActions.enterBootloader();
}

void onReset(Fl_Widget*, void*)
{
    if (debugActions.restartDevice) debugActions.restartDevice();
}

void onResourceInfo(Fl_Widget*, void*)
{
    if (debugActions.showResourceInfo) debugActions.showResourceInfo();
}

void button(int x, int y, const char* label, Fl_Callback* action, void* data = nullptr)
{
    auto* b = new Fl_Button(x, y, 80, 25, label);
    b->callback(action, data);
}

}  // namespace

Fl_Double_Window* buildDebugWindow()
{
    auto* w = debugWindow = new Fl_Double_Window(319, 234, "Error tests");
    {
        auto* banner = new Fl_Box(0, 0, 320, 25, "Only for debugging purposes!");
        banner->box(FL_ENGRAVED_BOX);
    }
    {
        // Kept from the firmware developers' tests; they do nothing here.
        auto* damage = new Fl_Button(50, 35, 190, 25, "Damage application");
        damage->labelcolor(FL_RED);
        new Fl_Button(50, 75, 190, 25, "Cause time-out");
    }
    button(50, 115, "Ping App", onPing, reinterpret_cast<void*>(0L));
    button(160, 115, "Ping Boot", onPing, reinterpret_cast<void*>(1L));
    button(50, 145, "Enter Boot", onEnterBoot);
    button(160, 145, "Reset", onReset);
    button(50, 175, "Rsrc Info", onResourceInfo);
    w->end();
    return w;
}

void destroyDebugWindow()
{
    delete debugWindow;
    debugWindow = nullptr;
}
