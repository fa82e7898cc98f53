// Ejecting the medium of a CD/DVD or removable drive letter: the volume is
// opened as "\\.\X:" (through the kernel host), locked, dismounted, its
// removal allowed and the medium ejected. The outcome is written to the
// program's standard output, as the two messages below say.
//
// Thread rule: blocks for up to 20 lock attempts 500 ms apart on the
// platform clock (about ten seconds when another program keeps the volume
// open); run it where that wait is acceptable.
#pragma once

#include <ostream>

#include "base/wintypes.h"

namespace cmd {

enum class EjectOutcome {
    WrongDriveType,  // not DRIVE_REMOVABLE or DRIVE_CDROM: "Cannot eject.  Drive type is incorrect."
    OpenFailed,      // the volume could not be opened (logged)
    NotLocked,       // another program kept it open: nothing is written
    NotDismounted,   // locked, but the file system would not let go: nothing is written
    SafeToRemove,    // dismounted: "Media in Drive X can be safely removed."
    Ejected,         // dismounted and ejected: "Media in Drive X has been ejected safely."
};

inline constexpr int kEjectLockAttempts = 20;
inline constexpr DWORD kEjectLockPauseMs = 500;

// Only a dismounted volume has its removal allowed and its medium ejected,
// so "ejected safely" never follows a medium that was still in use.
EjectOutcome EjectMedia(WCHAR letter, std::ostream& out);

}  // namespace cmd
