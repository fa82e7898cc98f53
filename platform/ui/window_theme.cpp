#include "ui/window_theme.h"

#include "ui/window.h"

namespace {

// Null, empty or only spaces: no theme.
bool Blank(LPCWSTR name) {
    if (!name) return true;
    for (; *name; ++name)
        if (*name != u' ') return false;
    return true;
}

}  // namespace

HRESULT SetWindowTheme(HWND hwnd, LPCWSTR app_name, LPCWSTR id_list) {
    if (!IsWindow(hwnd)) return E_INVALIDARG;
    return Blank(app_name) && Blank(id_list) ? S_OK : E_NOTIMPL;
}
