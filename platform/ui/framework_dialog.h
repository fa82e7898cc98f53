// The framework's dialog: a modeless (Create) or modal (DoModal) dialog
// created from a template of the resource library (AfxGetResourceHandle). OnInitDialog runs once the
// controls exist; Enter (the default button, else IDOK) reaches OnOK and Esc
// (IDCANCEL) OnCancel through the application's message loop.
#pragma once

#include "ui/dialog.h"
#include "ui/framework_wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT template_id = 0, CWnd* parent = nullptr) : m_nIDTemplate(template_id), m_pParentWnd(parent) {}

    // Creates the dialog modeless; FALSE when the template is missing or
    // the dialog could not be built.
    BOOL Create(UINT template_id = 0, CWnd* parent = nullptr);
    // Runs the dialog modally (dialog.h, DialogBoxParamW) and returns the
    // value OnOK / OnCancel / EndDialog gave, or -1 when it could not be
    // created. The window is gone when it returns.
    INT_PTR DoModal();

    virtual BOOL OnInitDialog() { return TRUE; }
    // Both end the dialog (hide it; a modal one's loop ends); a modeless
    // dialog's owner destroys it.
    virtual void OnOK() { EndDialog(m_hWnd, IDOK); }
    virtual void OnCancel() { EndDialog(m_hWnd, IDCANCEL); }

    LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* ui) override;
    BOOL PreTranslateMessage(MSG* msg) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    HWND CreateFromTemplate(HWND owner);
    static INT_PTR DialogProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);
};
