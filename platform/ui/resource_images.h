// Bitmaps and icons loaded by numeric identifier from a resource library.
// A missing identifier gives a null handle with ERROR_RESOURCE_NAME_NOT_FOUND.
#pragma once

#include "resource/resource_types.h"
#include "ui/ui_types.h"

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name);
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
