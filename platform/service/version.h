// GetVersion: the Windows version this platform reports to the system's code.
// It reports Windows XP, 5.1 build 2600, the version the kernel host reports
// to drivers too: a service then accepts power and session-change controls.
// Tests may report another version for a while.
#pragma once

#include "base/wintypes.h"

// Major version in the low byte, minor version in the next byte, build
// number in the high word (bit 31 clear: an NT system).
DWORD GetVersion();

namespace plat {

struct WindowsVersion {
    BYTE major = 5;
    BYTE minor = 1;
    WORD build = 2600;
};

// Reports `version` from GetVersion for the lifetime of the guard.
class ScopedReportedVersion {
public:
    explicit ScopedReportedVersion(WindowsVersion version);
    ~ScopedReportedVersion();
    ScopedReportedVersion(const ScopedReportedVersion&) = delete;
    ScopedReportedVersion& operator=(const ScopedReportedVersion&) = delete;

private:
    WindowsVersion m_previous;
};

}  // namespace plat
