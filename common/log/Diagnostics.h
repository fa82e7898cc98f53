// The diagnostics dump that starts a GUI log file: the paths and versions of
// the executable and a module, the operating system, host, user, command
// line, task list, locale and clocks, all in category "LOGD".
#pragma once

#include "base/wintypes.h"

class CLog;

namespace diagnostics {

// Bit 0 of the flags: include the system block.
inline constexpr DWORD kDumpSystem = 0x1;

}  // namespace diagnostics

// Writes the dump at `level` (its opening lines at level 5). Nothing beyond
// the opening lines and "<- NTD" when `level` does not pass the log's level.
// `module` is a handle from dlopen, or nullptr for the executable itself.
void DumpDiagnostics(CLog* log, void* module, DWORD flags, LONG level);
