#include "app/update_actions.h"

#include "app/comm_setup.h"
#include "app/debug_window.h"
#include "app/main_window.h"
#include "app/main_window_update_view.h"
#include "firmware/program_firmware.h"
#include "update/session_sources.h"
#include "update/update_session.h"

MainWindowUpdateView& programUpdateView()
{
    static MainWindowUpdateView view;
    return view;
}

vek::UpdateSession& programUpdateSession()
{
    static vek::UpdateSession session(versatileChannel, protocolHandler, programUpdateView(),
                                      vek::catalogueImageSource(programImages()));
    return session;
}

void onStartUpdate(Fl_Widget*, void*)
{
    try {
        programUpdateSession().startUpdate(connectionBox.selectedPortName());
    } catch (...) {
        // The session has reported what it could and restarted the device if
        // it had reached the bootloader; nothing may escape into the toolkit.
        programUpdateView().appendLog("Error: unexpected failure\n");
        programUpdateView().showStep(0);
    }
}

void connectUpdateActions()
{
    programUpdateSession().setOpenFailureReason(vek::serialOpenFailureReason(serialPort));
    debugActions.ping = [](int variant) { return programUpdateSession().ping(variant); };
    debugActions.enterBootloader = [] { programUpdateSession().enterBootloader(); };
    debugActions.restartDevice = [] { programUpdateSession().restartDevice(); };
}
