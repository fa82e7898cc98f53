// SIGINT and SIGTERM end lumex the way its exit command does, so a Ctrl-C,
// a logout or a service manager's stop still stores the settings: the
// signals are taken from the whole process (call this before any other
// thread starts, so every thread inherits the mask) and a thread of their
// own turns each into the thread message kStopRequest for the GUI thread,
// which closes the main window (CLUMEXGUIApp::PreTranslateMessage).
#pragma once

#include "base/wintypes.h"
#include "ui/ui_types.h"

namespace gui {

inline constexpr UINT kStopRequest = 0x8000 + 0x4C58;  // in the WM_APP range

void StopOnTerminationSignals(DWORD gui_thread);

}  // namespace gui
