// TrackPopupMenu: a popup menu at a point with its own modal loop.
#pragma once

#include "ui/control_types.h"
#include "ui/menu.h"

constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_RETURNCMD = 0x0100;

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* ignored);
