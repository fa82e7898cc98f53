#include "ui/modal_loop.h"

#include <mutex>

#include "ui/dialog.h"
#include "ui/input.h"
#include "ui/message_queue.h"
#include "ui/window.h"

namespace plat::ui {
namespace {

std::mutex g_hookMutex;
ModalShownHook g_hook;

}  // namespace

bool RunModalLoop(const std::function<bool()>& done, HWND dialog) {
    MSG msg;
    while (!done()) {
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
            PostQuitMessage(int(msg.wParam));
            return false;
        }
        if (dialog && IsDialogMessageW(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

bool RunModalDialog(HWND dialog, HWND owner, HWND focus_before, const std::function<bool()>& done) {
    const bool reenable = owner && IsWindowEnabled(owner);
    if (reenable) EnableWindow(owner, FALSE);
    NotifyModalShown(dialog);
    const bool running = RunModalLoop([&] { return done() || !IsWindow(dialog); }, dialog);
    if (reenable) EnableWindow(owner, TRUE);
    if (IsWindow(dialog)) DestroyWindow(dialog);
    if (focus_before && IsWindow(focus_before)) SetFocus(focus_before);
    return running;
}

void SetModalShownHook(ModalShownHook hook) {
    std::lock_guard lock(g_hookMutex);
    g_hook = std::move(hook);
}

void NotifyModalShown(HWND modal) {
    ModalShownHook hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_hook;
    }
    if (hook) hook(modal);
}

}  // namespace plat::ui
