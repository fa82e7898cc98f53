// Dialogs built from templates: the dialog window class with its default
// procedure, creation of a modeless dialog and its controls from a template
// (by id from a resource library or given directly), and keyboard handling in
// the message loop: Enter presses the default button (IDOK when none is
// marked) and Esc sends IDCANCEL.
//
// The dialog procedure sees every message first; returning FALSE lets the
// default dialog handling run. WM_INITDIALOG is sent through the window
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
// Modeless dialogs are hidden; the owner destroys them.
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int capacity);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);
// Registers the control classes (buttons, statics, edits, list boxes,
// trackbar, tooltip, animation); dialog creation does it on demand.
void InitCommonControls();
