// An off-line activity of a simulated drive (data collection or a
// self-test) that runs in the background on the platform clock.
#pragma once

#include <cstdint>
#include <optional>

#include "base/clock.h"
#include "base/wintypes.h"

namespace plat::device {

struct SimActivity {
    int type = 0;                // ATA subcommand or SCSI self-test code
    std::uint64_t start = 0;     // FILETIME units
    std::uint64_t duration = 0;  // FILETIME units
    BYTE result = 0;             // outcome when it runs to its end

    static SimActivity Start(int type, std::uint32_t seconds, BYTE result) {
        return SimActivity{type, CurrentClock().NowFileTime(), std::uint64_t(seconds) * kFileTimePerSecond, result};
    }
    bool Finished() const { return CurrentClock().NowFileTime() >= start + duration; }
    // Tenths of the work still to do, 1 to 9 while running (ATA reports 9
    // at the start because 10 does not fit its four bits).
    BYTE RemainingTenths() const {
        const std::uint64_t now = CurrentClock().NowFileTime();
        if (duration == 0 || now >= start + duration) return 0;
        const std::uint64_t left = start + duration - now;
        const std::uint64_t tenths = (left * 10 + duration - 1) / duration;
        return static_cast<BYTE>(tenths > 9 ? 9 : tenths);
    }
};

}  // namespace plat::device
