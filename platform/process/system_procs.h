// GetProcAddress: the entry points a program looks up at run time by name.
// In the system libraries (resource/system_modules.h) it finds the ones the
// platform provides, as Windows would on a system that has them:
//   KERNEL32  GetDiskFreeSpaceExW, GetDiskFreeSpaceW, GetNativeSystemInfo,
//             GetSystemInfo, GetVersionExW, GetSystemDirectoryW,
//             SetProcessAffinityMask, GetProcessAffinityMask
//   USER32    SetLayeredWindowAttributes
//   UXTHEME   SetWindowTheme
//   ADVAPI32  the service control entry points (service/winsvc.h)
// Any other name is absent (null, ERROR_PROC_NOT_FOUND), so the caller takes
// its fallback. In a loaded library it finds the library's exported symbols.
#pragma once

#include "resource/resource_types.h"

using FARPROC = INT_PTR (*)();

// Ordinals (a name below 0x10000) are not served.
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
