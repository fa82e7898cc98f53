// Keyboard navigation among a dialog's controls: the focus moves with Tab
// and Shift+Tab among visible, enabled WS_TABSTOP controls (wrapping around)
// and with the arrow keys within a group (a WS_GROUP control and those after
// it up to the next WS_GROUP control). A control keeps the keys it asks for
// in its WM_GETDLGCODE answer. Enter presses the focused push button, else
// the default button; Esc sends IDCANCEL; Space reaches the focused button,
// which presses itself. A typed character that the focused control does not
// want (DLGC_WANTCHARS), or Alt with a letter or digit, chooses the control
// whose text marks it with '&': a button is pressed, a label sends the focus
// to the next tab stop after it, another control takes the focus.
//
// The default-button look follows the focus: a focused push button is drawn
// as the default (BS_DEFPUSHBUTTON) and the dialog's own default button gets
// the look back when the focus moves to a control that is not a push button.
#pragma once

#include "ui/dialog.h"

namespace plat::ui {

// Focuses a control of the dialog as the dialog's keyboard handling does,
// moving the default-button look with it. Null does nothing.
void FocusDialogControl(HWND dialog, HWND control);

// Moves the default-button look to `focus` when it is a push button, else to
// the dialog's default button.
void ShowDefaultLook(HWND dialog, HWND focus);

// Sends the dialog WM_COMMAND with BN_CLICKED from control `id`, unless that
// control is disabled.
void PressDialogButton(HWND dialog, int id);

// The dialog's handling of a keyboard message; true when it consumed it.
bool HandleDialogKey(HWND dialog, const MSG& msg);

}  // namespace plat::ui
