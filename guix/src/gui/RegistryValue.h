// The GUI's small registry helpers: one number or one string under a root
// key and path, opened for this one read or write.
//
// Registry views: on 64-bit Windows view 1 reads the 32-bit view
// (KEY_WOW64_32KEY) and view 2 the 64-bit view (KEY_WOW64_64KEY); view 0 is
// the default. Linux has one registry and no redirection, so every view maps
// to that one registry: the flag is passed on and the platform accepts it,
// which keeps callers written for views working unchanged. For the same
// reason there is no 64-bit-system test: it could only ever choose among
// identical views.
#pragma once

#include <string>

#include "registry/registry.h"

enum class RegistryView : int { Default = 0, Bits32 = 1, Bits64 = 2 };

REGSAM RegistryViewAccess(RegistryView view);

BOOL ReadRegistryNumber(HKEY root, const WCHAR* path, const WCHAR* name, DWORD& out,
                        RegistryView view = RegistryView::Default);
BOOL WriteRegistryNumber(HKEY root, const WCHAR* path, const WCHAR* name, DWORD value,
                         RegistryView view = RegistryView::Default);
// REG_SZ or REG_EXPAND_SZ; the text ends at its first NUL.
BOOL ReadRegistryString(HKEY root, const WCHAR* path, const WCHAR* name, std::u16string& out,
                        RegistryView view = RegistryView::Default);
// Written as REG_SZ with its terminator; missing keys are created.
BOOL WriteRegistryString(HKEY root, const WCHAR* path, const WCHAR* name, const std::u16string& value,
                         RegistryView view = RegistryView::Default);
