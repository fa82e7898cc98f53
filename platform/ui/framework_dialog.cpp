#include "ui/framework_dialog.h"

#include "resource/resource_types.h"
#include "ui/dialog.h"
#include "ui/framework_app.h"
#include "ui/input.h"

HWND CDialog::CreateFromTemplate(HWND owner) {
    AfxHookWindowCreate(this);
    HWND hwnd =
        CreateDialogParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), owner, &CDialog::DialogProc, 0);
    AfxUnhookWindowCreate();
    return hwnd;
}

BOOL CDialog::Create(UINT template_id, CWnd* parent) {
    if (template_id) m_nIDTemplate = template_id;
    if (parent) m_pParentWnd = parent;
    return CreateFromTemplate(m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr) != nullptr;
}

INT_PTR CDialog::DoModal() {
    HWND focus = GetFocus();
    HWND owner = m_pParentWnd && m_pParentWnd->m_hWnd ? GetAncestor(m_pParentWnd->m_hWnd, GA_ROOT) : nullptr;
    if (!owner) owner = GetActiveWindow();
    return RunDialogModal(CreateFromTemplate(owner), owner, focus);
}

// The dialog is bound to its object as it is created; everything runs
// through the object's WindowProc, whose defaults reach the system's dialog
// handling, so the dialog procedure itself has nothing to add.
INT_PTR CDialog::DialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

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
