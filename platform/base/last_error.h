// The per-thread last error of the Win32 and Winsock interfaces.
#pragma once

#include "base/wintypes.h"

DWORD GetLastError();
void SetLastError(DWORD error);

// Maps an errno value to the nearest Win32 error code (ERROR_GEN_FAILURE for
// values without a counterpart).
DWORD Win32ErrorFromErrno(int err);
