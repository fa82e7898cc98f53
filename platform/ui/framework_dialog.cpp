#include "ui/framework_dialog.h"

#include <utility>

#include "resource/resource_types.h"
#include "ui/dialog.h"
#include "ui/framework_app.h"

namespace {

thread_local CDialog* t_creating = nullptr;

}  // namespace

BOOL CDialog::Create(UINT template_id, CWnd* parent) {
    if (template_id) m_nIDTemplate = template_id;
    if (parent) m_pParentWnd = parent;
    t_creating = this;
    HWND hwnd = CreateDialogParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate),
                                   m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr, &CDialog::DialogProc, 0);
    t_creating = nullptr;
    return hwnd != nullptr;
}

// The dialog procedure only binds the dialog to its object on the first
// message; everything else runs through the object's WindowProc, whose
// defaults reach the system's dialog handling.
INT_PTR CDialog::DialogProc(HWND hwnd, UINT, WPARAM, LPARAM) {
    if (t_creating && !CWnd::FromHandlePermanent(hwnd)) {
        CDialog* dialog = std::exchange(t_creating, nullptr);
        dialog->SubclassWindow(hwnd);
    }
    return FALSE;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_INITDIALOG) return OnInitDialog();
    return CWnd::WindowProc(message, wp, lp);
}

BOOL CDialog::OnCmdMsg(UINT id, int code, CCmdUI* ui) {
    if (code == CN_COMMAND && id == IDOK) {
        OnOK();
        return TRUE;
    }
    if (code == CN_COMMAND && id == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    return CWnd::OnCmdMsg(id, code, ui);
}

// Keyboard messages of the dialog and its controls go through the dialog's
// keyboard handling (Tab, arrows, Enter, Esc), which dispatches the rest.
BOOL CDialog::PreTranslateMessage(MSG* msg) {
    if (msg->message < WM_KEYDOWN || msg->message > WM_SYSCHAR) return FALSE;
    return IsDialogMessageW(m_hWnd, msg);
}
