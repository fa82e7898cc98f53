// The system libraries that every Windows process finds loaded: "KERNEL32",
// "USER32", "ADVAPI32" and "UXTHEME". They have no file here. LoadLibraryW
// and GetModuleHandleW answer their names (any case, with or without ".dll",
// without a folder) with fixed handles that FreeLibrary accepts and never
// unloads; GetProcAddress (process/system_procs.h) finds in them the entry
// points the platform provides.
#pragma once

#include <string_view>

#include "resource/resource_types.h"

namespace plat::resource {

enum class SystemModule { Kernel32, User32, Advapi32, Uxtheme };

// The handle of a system library named `name`, or null for any other name.
HMODULE SystemModuleHandle(std::u16string_view name);
HMODULE SystemModuleHandle(SystemModule module);
// Which system library `module` is; false for any other handle.
bool IsSystemModule(HMODULE module, SystemModule* which = nullptr);

}  // namespace plat::resource
