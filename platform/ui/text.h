// Text output: DrawTextW, TextOutW and GetTextExtentPoint32W with the
// selected font, text colour and background mode.
#pragma once

#include "ui/ui_constants.h"

// Supports DT_LEFT/CENTER/RIGHT, DT_TOP/VCENTER/BOTTOM (vertical placement
// with DT_SINGLELINE), DT_SINGLELINE, DT_WORDBREAK, DT_EXPANDTABS (stops every
// eight average character widths), DT_NOPREFIX (else "&x" underlines x and
// "&&" is "&"), DT_END_ELLIPSIS ("..." replaces what does not fit),
// DT_NOCLIP and DT_CALCRECT. `count` -1 means a NUL-terminated string.
// Returns the text height, or with DT_VCENTER / DT_BOTTOM the offset from
// rect->top to the bottom of the text; 0 on failure.
int DrawTextW(HDC hdc, LPCWSTR text, int count, RECT* rect, UINT format);
BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count);
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size);
