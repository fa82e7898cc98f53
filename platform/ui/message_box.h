// MessageBoxW: a modal box with the text, the caption, its buttons and
// optionally an icon, above other windows with MB_TOPMOST. The owner is
// disabled while the box shows.
//
// MB_OK offers OK: Enter, Esc, the button and closing the box all answer
// IDOK. MB_YESNO offers Yes and No (IDYES, IDNO); Enter presses the default
// button (Yes, or No with MB_DEFBUTTON2), and Esc or closing the box answers
// IDNO, the answer that changes nothing. Icons: error (a red disc with a
// bar), warning (an amber disc with "!"), question (a blue disc with "?").
#pragma once

#include "ui/ui_types.h"

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_TYPEMASK = 0x0000000F;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONWARNING = 0x00000030;
constexpr UINT MB_ICONMASK = 0x000000F0;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_TOPMOST = 0x00040000;

constexpr int IDYES = 6;
constexpr int IDNO = 7;

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
