// Per-thread message queues: posted messages, cross-thread sent messages,
// timers on the platform clock, WM_PAINT for windows with an update region,
// and WM_QUIT.
//
// Retrieval order: sent messages are handled first (they never come out of
// GetMessage), then a character TranslateMessage made from the key just
// retrieved, then posted and input messages in arrival order, then
// WM_QUIT once nothing is posted, then WM_PAINT, then WM_TIMER. A timer
// whose time has passed several times yields one WM_TIMER and is due again
// one interval after it was retrieved, as on Windows. The WM_CHAR that
// TranslateMessage makes of a key is retrieved next, before later input.
#pragma once

#include <memory>

#include "ui/ui_constants.h"

namespace plat::ui {

// Gives the calling thread its queue (a thread that makes windows has one).
void EnsureCurrentQueue();
// Posts to the queue of `thread`; false when that thread has none (ended).
bool PostToThread(DWORD thread, const MSG& msg);
// Wakes a thread waiting in GetMessage or WaitMessage so it looks again.
void WakeThread(DWORD thread);
// Drops posted messages and timers of a destroyed window.
void PurgeWindow(HWND hwnd);
// Whether the current thread has a message queue with anything in it.
bool CurrentThreadHasMessages();
// A message the window system handles while retrieving it (dragging,
// activation); returns true when it was consumed. Set by the input router.
using SystemMessageHook = bool (*)(const MSG&);
void SetSystemMessageHook(SystemMessageHook hook);

}  // namespace plat::ui

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT min, UINT max);
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT min, UINT max, UINT remove);
BOOL WaitMessage();
// WM_CHAR for the keys with a character: letters (capitals with Shift or
// Caps Lock), digits (with Shift, what the keyboard layout puts there),
// space, Enter, Esc, Backspace and Tab. Other characters come from the
// backend (InjectChar).
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
BOOL PostThreadMessageW(DWORD thread, UINT message, WPARAM wparam, LPARAM lparam);
// From another thread the message runs on the window's thread while the
// sender waits, handling messages sent to itself meanwhile. 0 for a window
// that is gone, or whose thread ended before answering.
LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void PostQuitMessage(int exit_code);
BOOL InSendMessage();
DWORD GetMessageTime();
DWORD GetMessagePos();

// Timers: the interval is at least 10 ms. With hwnd null the id is chosen
// and returned; with a window, an existing timer of the same id is replaced.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);
