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
// Two choices for damaged or locked-down stored data: a "size" larger than
// any "bin" could be (over 64 KiB) is treated as an unusable "bin" (every
// field 0) instead of allocating that much first, and the machine-wide
// "DisableMouseButtons" is read with read access, so it also works for the
// users without write rights under HKEY_LOCAL_MACHINE it is meant for
// (asking for full access there fails for them).
#pragma once

#include <mutex>
#include <vector>

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

// The saves of a running program. The LED window saves on every mouse move
// over it, and almost every one of them stores what is already stored:
// opening the key alone costs a few hundred microseconds. A writer keeps
// the bytes ("bin" and "Placement") of its last save whose every value was
// written, and a save of the same bytes returns 1 without touching the
// registry. Anything that failed to be written is written again next time.
// The stored values are this program's own; a change made to them by hand
// while it runs is kept until its settings change.
//
// Thread rule: any thread; saves are serialised.
class SettingsWriter {
public:
    BOOL Save(const GuiSettings& s);
    // Forgets the last save, so the next one writes.
    void Forget();

private:
    std::mutex m_mutex;
    std::vector<BYTE> m_stored;  // empty: nothing known to be stored
};

}  // namespace settings
