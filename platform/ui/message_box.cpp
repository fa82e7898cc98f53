#include "ui/message_box.h"

#include <algorithm>
#include <vector>

#include "ui/control_procs.h"
#include "ui/device_context.h"
#include "ui/dialog.h"
#include "ui/draw.h"
#include "ui/gdi_objects.h"
#include "ui/input.h"
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

struct BoxButton {
    int id;
    const char16_t* label;
};

std::vector<BoxButton> ButtonsOf(UINT type) {
    if ((type & MB_TYPEMASK) == MB_YESNO) return {{IDYES, u"Yes"}, {IDNO, u"No"}};
    return {{IDOK, u"OK"}};
}

int DefaultButton(UINT type) {
    const auto buttons = ButtonsOf(type);
    return buttons[(type & MB_DEFBUTTON2) && buttons.size() > 1 ? 1 : 0].id;
}

struct BoxState {
    int answer = 0;        // 0 until the box is answered
    int cancelAnswer = 0;  // what Esc and closing the box answer
    UINT icon = 0;
};

// The icon: a coloured disc with a white bar (error) or a white mark.
void DrawIcon(HDC hdc, UINT icon) {
    const COLORREF colour = icon == MB_ICONERROR     ? RGB(200, 30, 30)
                            : icon == MB_ICONWARNING ? RGB(230, 160, 0)
                                                     : RGB(30, 100, 200);
    HRGN disc = CreateEllipticRgn(0, 0, kIconSize, kIconSize);
    HBRUSH brush = CreateSolidBrush(colour);
    FillRgn(hdc, disc, brush);
    DeleteObject(brush);
    DeleteObject(disc);
    RECT mark{0, 0, kIconSize, kIconSize};
    if (icon == MB_ICONERROR) {
        RECT bar{8, 14, kIconSize - 8, 18};
        FillRect(hdc, &bar, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return;
    }
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, RGB(255, 255, 255));
    DrawTextW(hdc, icon == MB_ICONWARNING ? u"!" : u"?", 1, &mark, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

bool IsAnswer(int id) { return id == IDOK || id == IDCANCEL || id == IDYES || id == IDNO; }

INT_PTR BoxProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
        case WM_INITDIALOG: SetWindowLongPtrW(hwnd, GWLP_USERDATA, lp); return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(DWORD(wp));
            if (state && IsAnswer(id)) state->answer = id == IDCANCEL ? state->cancelAnswer : id;
            return TRUE;
        }
        case WM_DRAWITEM:
            if (state) DrawIcon(reinterpret_cast<const DRAWITEMSTRUCT*>(lp)->hDC, state->icon);
            return TRUE;
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
    const bool icon = type & MB_ICONMASK;
    const SIZE size = TextSize(text);
    const auto buttons = ButtonsOf(type);
    const int buttons_width = int(buttons.size()) * (kButtonWidth + kMargin) - kMargin;
    const int text_left = kMargin + (icon ? kIconSize + kMargin : 0);
    const int width = std::max<int>(text_left + size.cx, kMargin + buttons_width) + kMargin;
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
    int x = (width - buttons_width) / 2;
    for (const BoxButton& b : buttons) {
        const DWORD kind = b.id == DefaultButton(type) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        add(WC_BUTTON, b.label, WORD(b.id), kind | WS_TABSTOP, x, kMargin * 2 + text_height, kButtonWidth, kButtonHeight);
        x += kButtonWidth + kMargin;
    }
    return d;
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    const auto tmpl = BoxTemplate(text ? text : u"", caption ? caption : u"Error", type);
    const HWND focus_before = GetFocus();
    BoxState state;
    state.cancelAnswer = (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
    state.icon = type & MB_ICONMASK;
    HWND box = CreateDialogIndirectParamW(nullptr, tmpl, owner, &BoxProc, reinterpret_cast<LPARAM>(&state));
    if (!box) return 0;
    SetFocus(GetDlgItem(box, DefaultButton(type)));
    plat::ui::RunModalDialog(box, owner, focus_before, [&] { return state.answer != 0; });
    return state.answer ? state.answer : state.cancelAnswer;
}
