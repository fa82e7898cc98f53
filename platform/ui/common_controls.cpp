#include <algorithm>
#include <map>
#include <mutex>
#include <string>

#include "ui/control_procs.h"
#include "ui/control_state.h"
#include "ui/device_context.h"
#include "ui/dialog.h"
#include "ui/draw.h"
#include "ui/gdi_objects.h"
#include "ui/message_queue.h"
#include "ui/paint.h"
#include "ui/rect.h"
#include "ui/text.h"
#include "ui/window.h"
#include "ui/window_pos.h"

namespace plat::ui {

bool RegisterControlClass(LPCWSTR name, WNDPROC proc, UINT class_style) {
    static std::mutex mutex;
    static std::map<std::u16string, bool> registered;
    std::lock_guard lock(mutex);
    bool& done = registered[name];
    if (done) return true;
    WNDCLASSEXW wc;
    wc.style = class_style;
    wc.lpfnWndProc = proc;
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = name;
    done = RegisterClassExW(&wc) != 0;
    return done;
}

LRESULT SetTextAndRedraw(HWND hwnd, WPARAM wp, LPARAM lp, BOOL erase) {
    const LRESULT result = DefWindowProcW(hwnd, WM_SETTEXT, wp, lp);
    InvalidateRect(hwnd, nullptr, erase);
    return result;
}

void NotifyParentCommand(HWND control, WORD code) {
    HWND parent = GetParent(control);
    if (parent)
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
}

HBRUSH ControlBackground(HWND control, HDC hdc) {
    HWND parent = GetParent(control);
    const LRESULT brush = parent ? SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc),
                                                reinterpret_cast<LPARAM>(control))
                                 : 0;
    return brush ? reinterpret_cast<HBRUSH>(brush) : GetSysColorBrush(COLOR_BTNFACE);
}

namespace {

bool Framed(HWND hwnd) { return GetWindowLongW(hwnd, GWL_STYLE) & WS_BORDER; }

}  // namespace

RECT FieldArea(HWND hwnd) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    if (Framed(hwnd)) InflateRect(&rc, -1, -1);
    return rc;
}

RECT PaintField(HWND hwnd, HDC hdc) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(hdc, &rc, GetSysColorBrush(IsWindowEnabled(hwnd) ? COLOR_WINDOW : COLOR_BTNFACE));
    if (Framed(hwnd)) {
        HBRUSH frame = CreateSolidBrush(RGB(122, 122, 122));
        FrameRect(hdc, &rc, frame);
        DeleteObject(frame);
    }
    return FieldArea(hwnd);
}

void MeasureWith(HWND hwnd, HFONT font, const std::function<void(HDC)>& measure) {
    HDC hdc = GetDC(hwnd);
    HGDIOBJ old = font ? SelectObject(hdc, font) : nullptr;
    measure(hdc);
    if (old) SelectObject(hdc, old);
    ReleaseDC(hwnd, hdc);
}

int LineHeight(HWND hwnd, HFONT font) {
    SIZE size{};
    MeasureWith(hwnd, font, [&](HDC hdc) { GetTextExtentPoint32W(hdc, u"Ay", 2, &size); });
    return std::max(1, int(size.cy));
}

}  // namespace plat::ui

void InitCommonControls() {
    using namespace plat::ui;
    // As on Windows, dialogs and buttons hear double-clicks.
    RegisterControlClass(WC_DIALOG, &DefDlgProcW, CS_DBLCLKS);
    RegisterControlClass(WC_BUTTON, &ButtonProc, CS_DBLCLKS);
    RegisterControlClass(WC_STATIC, &StaticProc);
    RegisterControlClass(WC_EDIT, &EditProc);
    RegisterControlClass(WC_LISTBOX, &ListBoxProc, CS_DBLCLKS);
    RegisterControlClass(TRACKBAR_CLASSW, &TrackbarProc);
    RegisterControlClass(ANIMATE_CLASSW, &AnimateProc);
    // Tips save the bits beneath, as menus do: the program places them,
    // never a window manager (an override-redirect window on X11).
    RegisterControlClass(TOOLTIPS_CLASSW, &TooltipProc, CS_SAVEBITS);
}
