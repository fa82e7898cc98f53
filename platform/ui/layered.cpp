#include "ui/layered.h"

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/window.h"

using namespace plat::ui;

BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags) {
    {
        std::lock_guard lock(WindowsMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return FALSE;
        if (!(w->exStyle & WS_EX_LAYERED) || w->IsChild()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    }
    if ((flags & LWA_ALPHA) && !CurrentBackend().OpacitySupported()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    {
        std::lock_guard lock(WindowsMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return FALSE;
        w->colorKey = key;
        w->alpha = alpha;
        w->layeredFlags = flags;
    }
    NotifyBackend(hwnd, kChangeOpacity);
    return TRUE;
}

BOOL GetLayeredWindowAttributes(HWND hwnd, COLORREF* key, BYTE* alpha, DWORD* flags) {
    std::lock_guard lock(WindowsMutex());
    auto w = GetWindowObject(hwnd);
    if (!w) return FALSE;
    if (!(w->exStyle & WS_EX_LAYERED)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (key) *key = w->colorKey;
    if (alpha) *alpha = w->alpha;
    if (flags) *flags = w->layeredFlags;
    return TRUE;
}
