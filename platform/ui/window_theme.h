// Visual styles. The controls here always draw in the classic look: there
// are no visual styles to switch on. SetWindowTheme with blank names (" " or
// "") or with none asks for what is already so and succeeds; a named theme
// cannot be applied (E_NOTIMPL).
#pragma once

#include "base/hresult.h"
#include "ui/ui_constants.h"

// E_INVALIDARG for a window that does not exist.
HRESULT SetWindowTheme(HWND hwnd, LPCWSTR app_name, LPCWSTR id_list);
