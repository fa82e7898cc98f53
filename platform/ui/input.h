// Input: the mouse and keyboard events a backend (or a test) feeds in, and
// what USER keeps about them: cursor position, capture, focus, the active
// window, key states, double-clicks and dragging a window by HTCAPTION.
//
// Events are turned into messages posted to the queue of the window's
// thread, so they may be injected from any thread (the X11 event thread, a
// test). Dragging follows the Windows model without its modal loop: once
// DefWindowProc sees WM_NCLBUTTONDOWN with HTCAPTION while the left button
// is down, the window captures the mouse and the moves that reach it are
// turned into SetWindowPos calls (so WM_WINDOWPOSCHANGING handlers can snap
// it) until the button is released.
//
// Lock order: the input lock may be held while the window lock is taken,
// never the reverse; no message is sent with the input lock held.
#pragma once

#include "ui/ui_constants.h"

namespace plat::ui {

enum class MouseButton { Left, Right, Middle };

void InjectMouseMove(POINT screen);
void InjectMouseButton(MouseButton button, bool down);
void InjectMouseWheel(int delta);
void InjectKey(int vk, bool down);
// A character the keyboard layout made from a key that has no virtual key
// here (punctuation, accented letters): WM_CHAR to the focus, as
// TranslateMessage would give it.
void InjectChar(char16_t c);
// The pointer went from the program's windows to another program's (the X
// display's LeaveNotify): WM_MOUSELEAVE for a tracked window, and a move for
// the capture, which hears the pointer wherever it is.
void InjectPointerLeft(POINT screen);
// Where the pointer is, learnt without a move for a window (a tray icon's
// event): messages posted from now on carry it.
void NotePointer(POINT screen);
// The pointer position that a message posted now carries (MSG::pt, which
// GetMessagePos reports for the message being handled).
POINT MessagePoint();

// Starts dragging a top-level window with the mouse (DefWindowProc).
void BeginWindowDrag(HWND hwnd);
bool IsDragging();

// Forgets all input state (tests).
void ResetInput();

// The keyboard as this thread's messages show it, which GetKeyState reads:
// started from the keyboard's state when the thread gets its message queue,
// then moved on by each key message the thread retrieves.
void StartThreadKeyState();
void NoteRetrievedKey(const MSG& msg);

}  // namespace plat::ui

BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();

// TME_LEAVE: WM_MOUSELEAVE is posted once the pointer leaves the window (at
// once when it is not over it); TME_CANCEL ends that, TME_QUERY tells which
// window is tracked. Hover tracking (TME_HOVER) is not provided.
struct TRACKMOUSEEVENT {
    DWORD cbSize = sizeof(TRACKMOUSEEVENT);
    DWORD dwFlags = 0;
    HWND hwndTrack = nullptr;
    DWORD dwHoverTime = 0;
};
constexpr DWORD TME_HOVER = 0x00000001;
constexpr DWORD TME_LEAVE = 0x00000002;
constexpr DWORD TME_QUERY = 0x40000000;
constexpr DWORD TME_CANCEL = 0x80000000;
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);
HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
// The state of a key as of the key message this thread handles now, so a
// letter handled after Shift was released still counts as shifted
// (GetAsyncKeyState is the keyboard right now). Mouse buttons, and threads
// without a message queue, read the keyboard right now. The toggle bit
// (0x0001) of VK_SCROLL is the Scroll Lock light itself.
SHORT GetKeyState(int vk);
SHORT GetAsyncKeyState(int vk);
// Synthesised key input; VK_SCROLL pressed toggles the Scroll Lock light.
void keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extra);
