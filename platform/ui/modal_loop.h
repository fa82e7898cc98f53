// The modal loops of popup menus, message boxes and the file chooser: messages are pumped on
// the calling thread until the modal window is done. A test (or an
// accessibility tool) can be told when a modal window has appeared, and then
// answers it with ordinary input.
#pragma once

#include <functional>

#include "ui/ui_types.h"

namespace plat::ui {

// Pumps this thread's messages until done() holds or WM_QUIT arrives (it is
// posted again for the outer loop). Returns false on WM_QUIT. With a dialog,
// its keyboard handling (Enter, Esc) applies.
bool RunModalLoop(const std::function<bool()>& done, HWND dialog = nullptr);

// Runs a modal dialog that is already created: its owner (may be null) is
// disabled, the hook below told of the dialog, and messages pumped until
// done() holds, the dialog is gone or WM_QUIT arrives; then the owner is
// enabled again, the dialog destroyed and the focus given back to
// focus_before (the window that had it before the dialog was created).
// False on WM_QUIT.
bool RunModalDialog(HWND dialog, HWND owner, HWND focus_before, const std::function<bool()>& done);

// Called with each modal window once it is shown; null removes the hook.
using ModalShownHook = std::function<void(HWND modal)>;
void SetModalShownHook(ModalShownHook hook);
void NotifyModalShown(HWND modal);

}  // namespace plat::ui
