// The free space the LED window shows for a drive letter: the used-space bar
// (percent) and the tooltip (gigabytes), read through the kernel host from
// the volume's file system.
//
// A: and B: are never asked (floppy drives would spin up): they count as
// unknown, -1 percent and 0 gigabytes. A volume that reports a size of 0 is
// unknown as well, rather than dividing by it.
#pragma once

#include <string>

#include "base/wintypes.h"

struct DriveFreeSpace {
    int percent = -1;        // -1: unknown
    double gigabytes = 0.0;  // free gigabytes (2^30 bytes)
    bool failed = false;     // the volume did not answer
};

// With `extended` the byte counts (GetDiskFreeSpaceExW), else the cluster
// counts (GetDiskFreeSpaceW, no gigabytes).
DriveFreeSpace ReadDriveFreeSpace(WCHAR letter, bool extended = true);

// Free gigabytes with exactly three decimals ("12.346", "0.050").
std::u16string FormatGigabytes(double gigabytes);
