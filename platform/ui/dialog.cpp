#include "ui/dialog.h"

#include <map>
#include <mutex>
#include <utility>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "resource/module.h"
#include "ui/control_state.h"
#include "ui/dialog_navigation.h"
#include "ui/font.h"
#include "ui/gdi_objects.h"
#include "ui/input.h"
#include "ui/message_queue.h"
#include "ui/modal_loop.h"
#include "ui/window.h"
#include "ui/window_pos.h"

namespace {

struct DialogState {
    DLGPROC proc = nullptr;
    INT_PTR result = 0;
    bool ended = false;  // EndDialog was called
    HFONT font = nullptr;
    WORD defaultId = 0;  // the template's default push button, or set by DM_SETDEFID
    HWND lastFocus = nullptr;  // the focused control when the dialog was deactivated
};

plat::ui::ControlStates<DialogState>& Dialogs() {
    static plat::ui::ControlStates<DialogState> states;
    return states;
}

// Handed from CreateDialogIndirectParamW to the dialog's first message, so
// the dialog procedure sees the whole creation.
thread_local DLGPROC t_pendingProc = nullptr;

HFONT DialogFont(const plat::resource::DialogTemplate& d) {
    if (d.faceName.empty() || d.pointSize == 0) return nullptr;
    return CreatePointFontW(int(d.pointSize) * 10, d.faceName.c_str(), nullptr);
}

bool CreateControls(HWND dialog, HINSTANCE instance, const plat::resource::DialogTemplate& d, HFONT font) {
    for (const auto& item : d.items) {
        HWND control = CreateWindowExW(item.exStyle, item.className.c_str(), item.text.c_str(), item.style | WS_CHILD,
                                       item.x, item.y, item.cx, item.cy, dialog,
                                       reinterpret_cast<HMENU>(std::uintptr_t(item.id)), instance, nullptr);
        if (!control) return false;
        if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return true;
}

// The push button created as the default, 0 when there is none.
WORD TemplateDefaultId(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (SendMessageW(child, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) return WORD(GetDlgCtrlID(child));
    }
    return 0;
}

// The control that last had the focus, else the first tab stop, gets it
// back when the dialog is activated or focused.
void RestoreFocus(HWND dialog, const DialogState& state) {
    HWND control = state.lastFocus;
    if (!control || !IsChild(dialog, control) || !IsWindowEnabled(control) || !IsWindowVisible(control))
        control = GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (control) plat::ui::FocusDialogControl(dialog, control);
    else if (GetFocus() != dialog) SetFocus(dialog);
}

}  // namespace

LRESULT DefDlgProcW(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    auto state = Dialogs().Of(hwnd);
    if (message == WM_NCCREATE && !state->proc) state->proc = std::exchange(t_pendingProc, nullptr);
    if (state->proc) {
        // The answer to WM_INITDIALOG is the procedure's: FALSE says it may
        // have placed the focus itself.
        const INT_PTR handled = state->proc(hwnd, message, wp, lp);
        if (handled || message == WM_INITDIALOG) return handled;
    }
    switch (message) {
        case WM_INITDIALOG: return TRUE;  // let the system focus the first control
        case WM_CLOSE: plat::ui::PressDialogButton(hwnd, IDCANCEL); return 0;
        case DM_SETDEFID:
            state->defaultId = WORD(wp);
            plat::ui::ShowDefaultLook(hwnd, GetFocus());
            return TRUE;
        case DM_GETDEFID: return state->defaultId ? MAKELPARAM(state->defaultId, DC_HASDEFID) : 0;
        case WM_NEXTDLGCTL:
            plat::ui::FocusDialogControl(
                hwnd, LOWORD(DWORD(lp)) ? reinterpret_cast<HWND>(wp) : GetNextDlgTabItem(hwnd, GetFocus(), wp != 0));
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(DWORD(wp)) != WA_INACTIVE) RestoreFocus(hwnd, *state);
            else if (HWND focus = GetFocus(); focus && IsChild(hwnd, focus)) state->lastFocus = focus;
            return 0;
        case WM_SETFOCUS: RestoreFocus(hwnd, *state); return 0;
        case WM_NCDESTROY: {
            const HFONT font = state->font;
            Dialogs().Drop(hwnd);
            if (font) DeleteObject(font);
            break;
        }
    }
    return DefWindowProcW(hwnd, message, wp, lp);
}

HWND CreateDialogIndirectParamW(HINSTANCE instance, const plat::resource::DialogTemplate& d, HWND parent,
                                DLGPROC proc, LPARAM param) {
    InitCommonControls();
    POINT origin{d.x, d.y};
    const bool child = (d.style & WS_CHILD) != 0;
    if (parent && !child) ClientToScreen(parent, &origin);
    t_pendingProc = proc;
    HWND dialog = CreateWindowExW(d.exStyle, WC_DIALOG, d.caption.c_str(), d.style & ~WS_VISIBLE, origin.x, origin.y,
                                  d.cx, d.cy, parent, nullptr, instance, nullptr);
    t_pendingProc = nullptr;
    if (!dialog) return nullptr;
    const HFONT font = DialogFont(d);
    Dialogs().Of(dialog)->font = font;
    if (font) SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (!CreateControls(dialog, instance, d, font)) {
        DestroyWindow(dialog);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Dialogs().Of(dialog)->defaultId = TemplateDefaultId(dialog);
    // Without tab stops the first control (the bottom child) takes the focus.
    HWND focus = GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (!focus) focus = GetWindow(GetWindow(dialog, GW_CHILD), GW_HWNDLAST);
    const bool place_focus = SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param) != 0;
    if (!IsWindow(dialog)) return nullptr;  // destroyed by its own initialisation
    HWND placed = GetFocus();
    if (place_focus || !placed || !IsChild(dialog, placed)) plat::ui::FocusDialogControl(dialog, focus);
    else plat::ui::ShowDefaultLook(dialog, placed);
    if (d.style & WS_VISIBLE) ShowWindow(dialog, SW_SHOWNORMAL);
    return dialog;
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM param) {
    const auto data = IS_INTRESOURCE(name)
                          ? plat::resource::FindResourceData(instance, RT_DIALOG, UINT(reinterpret_cast<std::uintptr_t>(name)))
                          : std::nullopt;
    const auto dialog = data ? plat::resource::ParseDialog(*data) : std::nullopt;
    if (!dialog) {
        SetLastError(data ? ERROR_RESOURCE_DATA_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return CreateDialogIndirectParamW(instance, *dialog, parent, proc, param);
}

BOOL IsDialogMessageW(HWND dialog, MSG* msg) {
    if (!dialog || !msg || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd))) return FALSE;
    if (plat::ui::HandleDialogKey(dialog, *msg)) return TRUE;
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    auto state = Dialogs().Find(dialog);
    if (!state) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    state->result = result;
    state->ended = true;
    ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

INT_PTR RunDialogModal(HWND dialog, HWND owner, HWND focus_before) {
    if (!dialog) return -1;
    auto state = Dialogs().Find(dialog);
    if (!state) return -1;
    ShowWindow(dialog, SW_SHOWNORMAL);
    plat::ui::RunModalDialog(dialog, owner, focus_before, [&] { return state->ended; });
    return state->result;
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const plat::resource::DialogTemplate& dialog, HWND parent,
                                DLGPROC proc, LPARAM param) {
    HWND focus = GetFocus();
    HWND owner = parent ? GetAncestor(parent, GA_ROOT) : nullptr;
    return RunDialogModal(CreateDialogIndirectParamW(instance, dialog, owner, proc, param), owner, focus);
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR template_name, HWND parent, DLGPROC proc, LPARAM param) {
    HWND focus = GetFocus();
    HWND owner = parent ? GetAncestor(parent, GA_ROOT) : nullptr;
    return RunDialogModal(CreateDialogParamW(instance, template_name, owner, proc, param), owner, focus);
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextW(item, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int capacity) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) {
        if (buffer && capacity > 0) buffer[0] = 0;
        return 0;
    }
    return UINT(GetWindowTextW(item, buffer, capacity));
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wp, LPARAM lp) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageW(item, message, wp, lp) : 0;
}
