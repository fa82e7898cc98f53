#include "ui/message_box.h"

#include <algorithm>

#include "ui/control_procs.h"
#include "ui/dialog.h"
#include "ui/draw.h"
#include "ui/gdi_objects.h"
#include "ui/modal_loop.h"
#include "ui/paint.h"
#include "ui/text.h"
#include "ui/window.h"
#include "ui/window_pos.h"

namespace {

constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;
constexpr WORD kIconId = 20;

struct BoxState {
    bool answered = false;
};

INT_PTR BoxProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
        case WM_INITDIALOG: SetWindowLongPtrW(hwnd, GWLP_USERDATA, lp); return TRUE;
        case WM_COMMAND:
            if (state && (LOWORD(DWORD(wp)) == IDOK || LOWORD(DWORD(wp)) == IDCANCEL)) state->answered = true;
            return TRUE;
        case WM_DRAWITEM: {
            // The error icon: a red disc with a white bar.
            const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            HRGN disc = CreateEllipticRgn(0, 0, kIconSize, kIconSize);
            HBRUSH red = CreateSolidBrush(RGB(200, 30, 30));
            FillRgn(dis->hDC, disc, red);
            RECT bar{8, 14, kIconSize - 8, 18};
            FillRect(dis->hDC, &bar, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            DeleteObject(red);
            DeleteObject(disc);
            return TRUE;
        }
    }
    return FALSE;
}

SIZE TextSize(const std::u16string& text) {
    HDC hdc = GetDC(nullptr);
    RECT rc{0, 0, 400, 0};
    DrawTextW(hdc, text.c_str(), -1, &rc, DT_CALCRECT | DT_WORDBREAK);
    ReleaseDC(nullptr, hdc);
    return SIZE{std::max<LONG>(rc.right, kButtonWidth), std::max<LONG>(rc.bottom, 16)};
}

plat::resource::DialogTemplate BoxTemplate(const std::u16string& text, const std::u16string& caption, UINT type) {
    const bool icon = type & MB_ICONERROR;
    const SIZE size = TextSize(text);
    const int text_left = kMargin + (icon ? kIconSize + kMargin : 0);
    const int width = text_left + size.cx + kMargin;
    const int text_height = std::max<int>(size.cy, icon ? kIconSize : 0);
    plat::resource::DialogTemplate d;
    d.style = WS_POPUP | WS_CAPTION | WS_VISIBLE;
    d.exStyle = (type & MB_TOPMOST) ? WS_EX_TOPMOST : 0;
    d.cx = SHORT(width);
    d.cy = SHORT(kMargin * 3 + text_height + kButtonHeight);
    d.caption = caption;
    auto add = [&](const char16_t* cls, std::u16string label, WORD id, DWORD style, int x, int y, int cx, int cy) {
        d.items.push_back({style | WS_CHILD | WS_VISIBLE, 0, SHORT(x), SHORT(y), SHORT(cx), SHORT(cy), id, cls, label});
    };
    if (icon) add(WC_BUTTON, u"", kIconId, BS_OWNERDRAW | WS_DISABLED, kMargin, kMargin, kIconSize, kIconSize);
    add(WC_STATIC, text, 0xFFFF, SS_LEFT, text_left, kMargin, size.cx, size.cy);
    add(WC_BUTTON, u"OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, (width - kButtonWidth) / 2, kMargin * 2 + text_height,
        kButtonWidth, kButtonHeight);
    return d;
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    const auto tmpl = BoxTemplate(text ? text : u"", caption ? caption : u"Error", type);
    BoxState state;
    HWND box = CreateDialogIndirectParamW(nullptr, tmpl, owner, &BoxProc, reinterpret_cast<LPARAM>(&state));
    if (!box) return 0;
    const bool reenable = owner && IsWindowEnabled(owner);
    if (reenable) EnableWindow(owner, FALSE);
    plat::ui::NotifyModalShown(box);
    plat::ui::RunModalLoop([&] { return state.answered || !IsWindow(box); }, box);
    if (reenable) EnableWindow(owner, TRUE);
    if (IsWindow(box)) DestroyWindow(box);
    return IDOK;
}
