// "Start with Windows": a REG_SZ value under HKEY_CURRENT_USER's Run key,
// named by resource string 206, holding the full path of the GUI's program.
// The value is written without its terminating zero (a byte length of two
// per character). After every change the platform mirrors the Run key into
// the desktop's XDG autostart entries, so the program really starts at
// log-in.
#pragma once

#include <string>

#include "resource/resource_types.h"

namespace cmd {

inline constexpr const WCHAR* kRunKey = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// True when the value can be read from the Run key.
bool IsAutostartRegistered(const std::u16string& value_name);

// Writes (opening the key with full access, or creating it) or deletes the
// value, then refreshes the autostart entries. False on a registry failure,
// which the command ignores.
bool RegisterAutostart(const std::u16string& value_name, const std::u16string& program_path);
bool UnregisterAutostart(const std::u16string& value_name);

// The value name: the text of string 206 of the resource library.
std::u16string AutostartValueName(HMODULE resources);
// The full path of the running program (GetModuleFileNameW).
std::u16string ProgramPath();

}  // namespace cmd
