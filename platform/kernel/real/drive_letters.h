// Drive letters for a machine that has none. The root file system is C:,
// floppies take A: and B:, other volumes the first free letter from D:
// upwards, network mounts the first free letter from Z: downwards. Every
// assignment is kept in HKEY_LOCAL_MACHINE "SYSTEM\MountedDevices": one
// REG_SZ value per volume, named by the volume's identity, holding "X:".
// A volume that comes back gets its stored letter when no present volume
// holds it; an administrator changes a letter with lumetra-reg
//   lumetra-reg set 'HKLM\SYSTEM\MountedDevices' 'UUID:1234-ABCD' sz F:
// and it applies the next time the volume appears.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "base/wintypes.h"

namespace kern::real {

enum class LetterPool { Root, Floppy, Local, Network };

// Bit n stands for 'A' + n.
using LetterMask = std::uint32_t;
constexpr LetterMask LetterBit(WCHAR letter) { return LetterMask(1) << (letter - u'A'); }

// The letter for a volume of `pool`: the root is always C:; otherwise the
// stored letter when it is of the pool and not in use, else the first
// letter of the pool that is neither in use nor stored for another volume,
// else the first one not in use (taking over an absent volume's letter).
// 0 when every letter of the pool is in use.
WCHAR ChooseLetter(LetterPool pool, WCHAR stored, LetterMask in_use, LetterMask reserved);

class LetterStore {
public:
    // Every stored assignment, identity to letter; values that are not a
    // letter ("X:") are ignored.
    std::map<std::string, WCHAR> Load() const;
    // Stores `letter` for `identity` and forgets every other identity that
    // had it. False when the machine store cannot be written (the
    // assignment then lasts for this run only).
    bool Store(const std::string& identity, WCHAR letter) const;
};

}  // namespace kern::real
