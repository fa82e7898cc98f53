// DefWindowProcW: the default handling of the messages the system's windows
// leave to USER.
#include <utility>
#include "ui/def_window_proc.h"

#include "base/text.h"
#include "ui/device_context.h"
#include "ui/draw.h"
#include "ui/gdi_objects.h"
#include "ui/input.h"
#include "ui/message_queue.h"
#include "ui/paint.h"
#include "ui/window_internal.h"
#include "ui/window_pos.h"

using namespace plat::ui;

namespace {

LRESULT EraseBackground(HWND hwnd, HDC hdc) {
    HBRUSH brush;
    {
        std::lock_guard lock(WindowsMutex());
        auto w = Lookup<Window>(hwnd);
        if (!w || !w->cls->info.hbrBackground) return 0;
        brush = w->cls->info.hbrBackground;
    }
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(hdc, &client, brush);
    return 1;
}

LRESULT SetText(HWND hwnd, LPCWSTR text) {
    {
        std::lock_guard lock(WindowsMutex());
        auto w = Lookup<Window>(hwnd);
        if (!w) return FALSE;
        w->text = text ? std::u16string(text) : std::u16string();
    }
    NotifyBackend(hwnd, kChangeTitle);
    return TRUE;
}

LRESULT GetText(HWND hwnd, WPARAM capacity, LPWSTR buffer, bool length_only) {
    std::lock_guard lock(WindowsMutex());
    auto w = Lookup<Window>(hwnd);
    if (!w) return 0;
    if (length_only) return LRESULT(w->text.size());
    if (!buffer || capacity == 0) return 0;
    return LRESULT(plat::CopyToField(buffer, capacity, w->text));
}

LRESULT HitTest(HWND hwnd, LPARAM lp) {
    RECT r;
    GetWindowRect(hwnd, &r);
    const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    if (!Contains(r, p)) return HTNOWHERE;
    std::lock_guard lock(WindowsMutex());
    auto w = Lookup<Window>(hwnd);
    if (w && w->shape && !w->shape->Contains(POINT{p.x - r.left, p.y - r.top})) return HTNOWHERE;
    return HTCLIENT;
}

void PositionChanged(HWND hwnd, const WINDOWPOS& wp) {
    if (!(wp.flags & SWP_NOMOVE)) SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(wp.x, wp.y));
    if (!(wp.flags & SWP_NOSIZE))
        SendMessageW(hwnd, WM_SIZE, IsZoomed(hwnd) ? SIZE_MAXIMIZED : SIZE_RESTORED, MAKELPARAM(wp.cx, wp.cy));
}

HWND ParentOfChild(HWND hwnd) { return (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr; }

LRESULT SetIcon(HWND hwnd, WPARAM big, HICON icon) {
    HICON previous;
    {
        std::lock_guard lock(WindowsMutex());
        auto w = Lookup<Window>(hwnd);
        if (!w) return 0;
        previous = std::exchange(big ? w->iconBig : w->iconSmall, icon);
    }
    NotifyBackend(hwnd, kChangeIcon);
    return reinterpret_cast<LRESULT>(previous);
}

LRESULT SendHelp(HWND hwnd) {
    HELPINFO info;
    info.iCtrlId = GetDlgCtrlID(hwnd);
    info.hItemHandle = hwnd;
    GetCursorPos(&info.MousePos);
    return SendMessageW(hwnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
}

// A child's help goes to its parent, a top-level window's to its owner.
HWND HelpTarget(HWND hwnd) {
    if (HWND parent = ParentOfChild(hwnd)) return parent;
    return GetWindow(hwnd, GW_OWNER);
}

constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_MAXIMIZE = 0xF030;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_RESTORE = 0xF120;

}  // namespace

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    switch (message) {
        case WM_NCCREATE: {
            const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
            if (cs && cs->lpszName && reinterpret_cast<std::uintptr_t>(cs->lpszName) >= 0x10000) SetText(hwnd, cs->lpszName);
            return TRUE;
        }
        case WM_ERASEBKGND: return EraseBackground(hwnd, reinterpret_cast<HDC>(wp));
        case WM_CTLCOLORSTATIC: {
            const auto hdc = reinterpret_cast<HDC>(wp);
            SetTextColor(hdc, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(hdc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_CLOSE: DestroyWindow(hwnd); return 0;
        case WM_SETTEXT: return SetText(hwnd, reinterpret_cast<LPCWSTR>(lp));
        case WM_GETTEXT: return GetText(hwnd, wp, reinterpret_cast<LPWSTR>(lp), false);
        case WM_GETTEXTLENGTH: return GetText(hwnd, 0, nullptr, true);
        case WM_WINDOWPOSCHANGED: PositionChanged(hwnd, *reinterpret_cast<const WINDOWPOS*>(lp)); return 0;
        case WM_NCHITTEST: return HitTest(hwnd, lp);
        case WM_NCLBUTTONDOWN:
            if (wp == WPARAM(HTCAPTION)) BeginWindowDrag(hwnd);
            return 0;
        case WM_RBUTTONUP: {
            POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            ClientToScreen(hwnd, &p);
            SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(p.x, p.y));
            return 0;
        }
        case WM_KEYUP:
            // The menu key asks for the context menu at the keyboard's spot.
            if (wp == WPARAM(VK_APPS)) SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(-1, -1));
            return 0;
        case WM_SYSKEYDOWN:
            if (wp == WPARAM(VK_F10) && (GetKeyState(VK_SHIFT) & 0x8000))
                SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(-1, -1));
            return 0;
        case WM_KEYF1: return SendHelp(hwnd);
        case WM_HELP:
            if (HWND target = HelpTarget(hwnd)) return SendMessageW(target, WM_HELP, wp, lp);
            return 0;
        case WM_CONTEXTMENU:
        case WM_MOUSEWHEEL:
            if (HWND parent = ParentOfChild(hwnd)) return SendMessageW(parent, message, wp, lp);
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(DWORD(wp)) != WA_INACTIVE && !IsIconic(hwnd)) SetFocus(hwnd);
            return 0;
        case WM_MOUSEACTIVATE: return 1;  // MA_ACTIVATE
        case WM_SETICON: return SetIcon(hwnd, wp, reinterpret_cast<HICON>(lp));
        case WM_SYSCOMMAND:
            switch (wp & 0xFFF0) {
                case SC_CLOSE: return SendMessageW(hwnd, WM_CLOSE, 0, 0);
                case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); return 0;
                case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); return 0;
                case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); return 0;
                default: return 0;
            }
        default: return 0;
    }
}
