#include "ui/window_hooks.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "base/last_error.h"
#include "base/thread.h"
#include "base/win_errors.h"

namespace {

struct Hook : HHOOK__ {
    HOOKPROC proc = nullptr;
};

// This thread's CBT hooks, oldest first.
thread_local std::vector<std::unique_ptr<Hook>> t_hooks;

auto Find(HHOOK hook) {
    return std::find_if(t_hooks.begin(), t_hooks.end(), [hook](const auto& h) { return h.get() == hook; });
}

LRESULT CallFrom(std::size_t count, int code, WPARAM wp, LPARAM lp) {
    // Newest first: the hook at position count - 1, which passes on by
    // CallNextHookEx if it wants the older ones to run.
    if (count == 0) return 0;
    return t_hooks[count - 1]->proc(code, wp, lp);
}

}  // namespace

HHOOK SetWindowsHookExW(int id, HOOKPROC proc, HINSTANCE, DWORD thread_id) {
    if (id != WH_CBT || !proc || (thread_id != 0 && thread_id != GetCurrentThreadId())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto hook = std::make_unique<Hook>();
    hook->proc = proc;
    t_hooks.push_back(std::move(hook));
    return t_hooks.back().get();
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
    auto it = Find(hook);
    if (it == t_hooks.end()) {
        SetLastError(ERROR_INVALID_HOOK_HANDLE);
        return FALSE;
    }
    t_hooks.erase(it);
    return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wp, LPARAM lp) {
    auto it = Find(hook);
    if (it == t_hooks.end()) return 0;
    return CallFrom(std::size_t(it - t_hooks.begin()), code, wp, lp);
}

namespace plat::ui {

bool CreationRefusedByHooks(HWND hwnd, CREATESTRUCTW* cs) {
    CBT_CREATEWNDW create{cs, nullptr};
    return CallFrom(t_hooks.size(), HCBT_CREATEWND, reinterpret_cast<WPARAM>(hwnd),
                    reinterpret_cast<LPARAM>(&create)) != 0;
}

}  // namespace plat::ui
