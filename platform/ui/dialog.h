// Dialogs built from templates: the dialog window class with its default
// procedure, creation of a modeless dialog and its controls from a template
// (by id from a resource library or given directly), and keyboard handling in
// the message loop (dialog_navigation.h): Tab and the arrow keys move the
// focus, Enter presses the focused push button or else the default button
// (IDOK when none is marked), Esc sends IDCANCEL.
//
// After WM_INITDIALOG the first tab stop (else the first control) gets the
// focus, unless the dialog procedure returned FALSE having focused a control
// itself; the dialog gives the focus back to the control that last had it
// when it is activated again.
//
// The dialog procedure sees every message first; returning FALSE lets the
// default dialog handling run (for WM_INITDIALOG its answer is final). WM_INITDIALOG is sent through the window
// procedure after the controls exist, so a procedure that subclasses the
// dialog receives it.
#pragma once

#include "resource/templates.h"
#include "ui/control_types.h"
#include "ui/def_window_proc.h"

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR template_name, HWND parent, DLGPROC proc, LPARAM param);
HWND CreateDialogIndirectParamW(HINSTANCE instance, const plat::resource::DialogTemplate& dialog, HWND parent,
                                DLGPROC proc, LPARAM param);
LRESULT DefDlgProcW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
BOOL IsDialogMessageW(HWND dialog, MSG* msg);
// The next (or previous) visible, enabled WS_TABSTOP control after `control`
// in creation order, wrapping around; from the start (or the end) when
// `control` is null or not in the dialog. `control` itself when it is the
// only one; null when there is none.
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
// The next (or previous) visible, enabled control of `control`'s group,
// wrapping around within the group; `control` itself when there is no other.
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);
// Modal dialogs: the dialog is shown (WS_VISIBLE or not), its owner (the
// parent's top-level window) disabled, and this thread's messages pumped
// until EndDialog; then the dialog is destroyed, the owner enabled and the
// focus given back. The result is EndDialog's value, 0 when the dialog went
// away without it (WM_QUIT, which is posted again, or DestroyWindow), and -1
// when the dialog could not be created.
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR template_name, HWND parent, DLGPROC proc, LPARAM param);
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const plat::resource::DialogTemplate& dialog, HWND parent,
                                DLGPROC proc, LPARAM param);
// Runs an already created dialog modally, as DialogBoxParamW does after
// creating it (CDialog::DoModal); -1 for a null dialog.
INT_PTR RunDialogModal(HWND dialog, HWND owner, HWND focus_before);
// Modeless dialogs are hidden; the owner destroys them. A modal dialog's
// loop ends.
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int capacity);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);
// Registers the control classes (buttons, statics, edits, list boxes,
// trackbar, tooltip, animation); dialog creation does it on demand.
void InitCommonControls();
