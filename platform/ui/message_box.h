// MessageBoxW: a modal box with the text, the caption, an OK button and
// optionally the error icon, above other windows with MB_TOPMOST. The owner
// is disabled while the box shows. Enter, Esc, the OK button and closing the
// box all answer IDOK, the only button this box offers.
#pragma once

#include "ui/ui_types.h"

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_TOPMOST = 0x00040000;

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
