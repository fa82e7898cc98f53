// Loading and storing the settings block under HKEY_CURRENT_USER
// "SOFTWARE\Zelmor\Zelmor Lumetra\3.1\Settings":
//
//   "size"                   REG_DWORD  length of "bin" (74)
//   "bin"                    REG_BINARY the block's stored fields (Settings.h)
//   "Placement"              REG_BINARY the 44-byte WINDOWPLACEMENT
//   "SMARTPollingIntervall"  REG_DWORD  read only; missing or 0 means 600
//   "DisableMouseButtons"    REG_DWORD  read only; 1 switches it on, here or
//                                       under HKEY_LOCAL_MACHINE
//   "MaxTemp"                REG_DWORD  read only; missing means 0
//
// The GUI never writes the last three; administrators and users set them.
//
// Two departures from the letter of the design, both for the same stored
// data: a "size" larger than any "bin" could be (over 64 KiB) is treated as
// an unusable "bin" (every field 0) instead of allocating that much first,
// and the machine-wide "DisableMouseButtons" is read with read access, so it
// also works for the users without write rights under HKEY_LOCAL_MACHINE it
// is meant for (asking for full access there fails for them).
#pragma once

#include "Settings.h"
#include "resource/resource_types.h"

namespace settings {

inline constexpr const WCHAR* kProductKey = u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1";
inline constexpr const WCHAR* kSettingsKey = u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1\\Settings";
inline constexpr DWORD kMaxBinBytes = 64 * 1024;
// Resource string whose text decides the Fahrenheit default.
inline constexpr UINT kLanguageString = 154;

// Fills the block: defaults, then what the registry holds. Always 0.
int LoadSettings(GuiSettings& s, HMODULE resources);
// Writes "size", "bin" and "Placement"; 1 when the key could be opened or
// created, else 0. Write failures past that are ignored.
BOOL SaveSettings(const GuiSettings& s);

}  // namespace settings
