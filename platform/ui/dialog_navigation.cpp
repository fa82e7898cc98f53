#include "ui/dialog_navigation.h"

#include <functional>
#include <vector>

#include "ui/input.h"
#include "ui/message_queue.h"
#include "ui/mnemonic.h"
#include "ui/window.h"

namespace plat::ui {
namespace {

DWORD Style(HWND hwnd) { return DWORD(GetWindowLongW(hwnd, GWL_STYLE)); }

bool Reachable(HWND control) { return (Style(control) & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE; }

// The dialog's controls in creation order, which is the tab order: each new
// child goes on top of its siblings, so that is the z-order bottom up.
std::vector<HWND> Controls(HWND dialog) {
    std::vector<HWND> controls;
    for (HWND c = GetWindow(GetWindow(dialog, GW_CHILD), GW_HWNDLAST); c; c = GetWindow(c, GW_HWNDPREV))
        controls.push_back(c);
    return controls;
}

// The dialog's control that is `hwnd` or holds it; null when none does.
HWND ControlOf(HWND dialog, HWND hwnd) {
    while (hwnd && GetParent(hwnd) != dialog) hwnd = GetParent(hwnd);
    return hwnd;
}

int IndexOf(const std::vector<HWND>& controls, HWND control) {
    for (std::size_t i = 0; i < controls.size(); ++i)
        if (controls[i] == control) return int(i);
    return -1;
}

// Walks controls[begin, end) round from `at` (exclusive, ending with `at`
// itself) forwards or backwards; the first that `accept` takes, else null.
HWND WalkRound(const std::vector<HWND>& controls, int begin, int end, int at, bool previous,
               const std::function<bool(HWND)>& accept) {
    const int size = end - begin;
    for (int step = 1; step <= size; ++step) {
        const int offset = (at - begin + (previous ? -step : step)) % size;
        HWND c = controls[std::size_t(begin + (offset + size) % size)];
        if (accept(c)) return c;
    }
    return nullptr;
}

LRESULT DlgCode(HWND control, const MSG* msg = nullptr) {
    return SendMessageW(control, WM_GETDLGCODE, msg ? msg->wParam : 0, reinterpret_cast<LPARAM>(msg));
}

bool IsPushButton(LRESULT code) { return code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON); }

// Only plain push buttons change their type; other buttons drawn as
// defaults (owner-drawn ones) keep theirs.
void SetDefaultLook(HWND button, bool on) {
    const DWORD type = Style(button) & BS_TYPEMASK;
    if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) return;
    if ((type == BS_DEFPUSHBUTTON) != on) SendMessageW(button, BM_SETSTYLE, on ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

// The button the dialog names as its default, 0 when it names none.
int NamedDefaultId(HWND dialog) {
    const LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
    return HIWORD(DWORD(def)) == DC_HASDEFID ? LOWORD(DWORD(def)) : 0;
}

char16_t ControlMnemonic(HWND control) {
    WCHAR text[256];
    GetWindowTextW(control, text, 256);
    return MnemonicOf(text);
}

// The control whose text marks `c`, searched in tab order after the focus:
// a button is pressed, a label passes the focus to the next tab stop after
// it, any other control takes the focus. False when no control has it.
bool ChooseMnemonic(HWND dialog, HWND focus, char16_t c) {
    if (c == 0) return false;
    const auto controls = Controls(dialog);
    HWND found = WalkRound(controls, 0, int(controls.size()), IndexOf(controls, ControlOf(dialog, focus)), false,
                           [c](HWND h) { return Reachable(h) && ControlMnemonic(h) == c; });
    if (!found) return false;
    const LRESULT code = DlgCode(found);
    if (code & DLGC_BUTTON) PressDialogButton(dialog, GetDlgCtrlID(found));
    else if (code & DLGC_STATIC) FocusDialogControl(dialog, GetNextDlgTabItem(dialog, found, FALSE));
    else FocusDialogControl(dialog, found);
    return true;
}

bool IsLetterOrDigit(int vk) { return (vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'); }

}  // namespace

void ShowDefaultLook(HWND dialog, HWND focus) {
    HWND wanted = focus;
    if (!IsChild(dialog, focus) || !IsPushButton(DlgCode(focus))) {
        const int id = NamedDefaultId(dialog);
        wanted = id ? GetDlgItem(dialog, id) : nullptr;
    }
    for (HWND c : Controls(dialog)) {
        if (IsPushButton(DlgCode(c))) SetDefaultLook(c, c == wanted);
    }
}

void PressDialogButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button && !IsWindowEnabled(button)) return;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void FocusDialogControl(HWND dialog, HWND control) {
    if (!control) return;
    SetFocus(control);
    // A field reached from the keyboard has its text selected, ready to be typed over.
    if (DlgCode(control) & DLGC_HASSETSEL) SendMessageW(control, EM_SETSEL, 0, -1);
    ShowDefaultLook(dialog, control);
}

bool HandleDialogKey(HWND dialog, const MSG& msg) {
    const LRESULT code = msg.hwnd == dialog ? 0 : DlgCode(msg.hwnd, &msg);
    if (code & DLGC_WANTMESSAGE) return false;
    const int vk = int(msg.wParam);
    const char16_t typed = FoldMnemonic(char16_t(vk));
    if (msg.message == WM_CHAR) return !(code & DLGC_WANTCHARS) && ChooseMnemonic(dialog, msg.hwnd, typed);
    // Alt with a letter or digit chooses by mnemonic whatever the control wants.
    if (msg.message == WM_SYSKEYDOWN) return IsLetterOrDigit(vk) && ChooseMnemonic(dialog, msg.hwnd, typed);
    if (msg.message != WM_KEYDOWN) return false;
    switch (vk) {
        case VK_TAB:
            if (code & DLGC_WANTTAB) return false;
            FocusDialogControl(dialog, GetNextDlgTabItem(dialog, msg.hwnd, GetKeyState(VK_SHIFT) < 0));
            return true;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
            if (code & DLGC_WANTARROWS) return false;
            FocusDialogControl(dialog, GetNextDlgGroupItem(dialog, msg.hwnd, vk == VK_LEFT || vk == VK_UP));
            return true;
        case VK_RETURN:
            if (IsPushButton(code)) PressDialogButton(dialog, GetDlgCtrlID(msg.hwnd));
            else if (const int id = NamedDefaultId(dialog)) PressDialogButton(dialog, id);
            else PressDialogButton(dialog, IDOK);
            return true;
        case VK_ESCAPE: PressDialogButton(dialog, IDCANCEL); return true;
    }
    return false;
}

}  // namespace plat::ui

using namespace plat::ui;

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    const auto controls = Controls(dialog);
    const int size = int(controls.size());
    int at = IndexOf(controls, ControlOf(dialog, control));
    if (at < 0) at = previous ? size : -1;
    if (size == 0) return nullptr;
    return WalkRound(controls, 0, size, at, previous,
                     [](HWND c) { return Reachable(c) && (Style(c) & WS_TABSTOP); });
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
    const auto controls = Controls(dialog);
    const int at = IndexOf(controls, ControlOf(dialog, control));
    if (at < 0) return nullptr;
    int begin = at;
    while (begin > 0 && !(Style(controls[std::size_t(begin)]) & WS_GROUP)) --begin;
    int end = at + 1;
    while (end < int(controls.size()) && !(Style(controls[std::size_t(end)]) & WS_GROUP)) ++end;
    return WalkRound(controls, begin, end, at, previous, Reachable);
}
