// Ending the session. On Windows a log-off or shutdown reaches a program's
// windows as WM_QUERYENDSESSION and WM_ENDSESSION; here the same end comes
// as SIGTERM, SIGINT or SIGHUP, or as a lost display connection. Each
// top-level window is sent WM_QUERYENDSESSION (lParam ENDSESSION_CRITICAL:
// the end is forced, an answer of FALSE cannot stop it) and then
// WM_ENDSESSION (TRUE), and each one without an owner that is not a menu or
// a tooltip is then posted WM_CLOSE, so the program saves its settings and
// closes the way it always does. With no such window the thread that asked
// for the signals is posted WM_QUIT.
//
// Once the end has begun a second signal of the three ends the program at
// once (the signals' default actions are back), so a program that hangs in
// its closing can still be stopped.
#pragma once

#include "ui/ui_constants.h"

constexpr UINT WM_QUERYENDSESSION = 0x0011;
constexpr UINT WM_ENDSESSION = 0x0016;
constexpr LPARAM ENDSESSION_CRITICAL = 0x40000000;

namespace plat::ui {

// Turns SIGTERM, SIGINT and SIGHUP into the session's end for this
// process (the framework's AfxWinMain does so before its message loop).
// Calling it again does nothing more.
void EndSessionOnSignals();
// Whether EndSessionOnSignals has run.
bool SessionEndInstalled();
// Asks for the session's end from any context, a signal handler or Xlib's
// error handlers included: it only wakes the thread that delivers it.
// False when EndSessionOnSignals has not run.
bool RequestSessionEnd();
// Delivers the end now, on the calling thread (the delivering thread, and
// tests).
void EndSession();

}  // namespace plat::ui
