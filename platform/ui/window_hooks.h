// SetWindowsHookExW for the one hook the framework relies on: the thread's
// computer-based-training hook (WH_CBT), told with HCBT_CREATEWND of each
// window this thread creates after its handle exists and before its first
// message (WM_NCCREATE). A framework binds its objects there, so they see
// their window's whole life, WM_CREATE included. A hook that returns non-zero
// refuses the window: CreateWindowExW fails.
//
// Hooks are per thread (thread id 0 or the caller's own); other hook types,
// other threads and global hooks are refused with ERROR_INVALID_PARAMETER.
#pragma once

#include "ui/ui_types.h"

struct HHOOK__ {
    int unused;
};
using HHOOK = HHOOK__*;
using HOOKPROC = LRESULT (*)(int code, WPARAM wparam, LPARAM lparam);

constexpr int WH_CBT = 5;
constexpr int HCBT_CREATEWND = 3;

// lParam of HCBT_CREATEWND; wParam is the new window.
struct CBT_CREATEWNDW {
    CREATESTRUCTW* lpcs = nullptr;
    HWND hwndInsertAfter = nullptr;
};

HHOOK SetWindowsHookExW(int id, HOOKPROC proc, HINSTANCE module, DWORD thread_id);
BOOL UnhookWindowsHookEx(HHOOK hook);
// Calls the hook installed before `hook` on this thread; 0 when none is left.
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wparam, LPARAM lparam);

namespace plat::ui {

// Runs this thread's CBT hooks for a window being created; true when one
// refused it.
bool CreationRefusedByHooks(HWND hwnd, CREATESTRUCTW* cs);

}  // namespace plat::ui
