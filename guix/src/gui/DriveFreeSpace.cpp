#include "DriveFreeSpace.h"

#include "base/format.h"
#include "kernel/client/device_files.h"

DriveFreeSpace ReadDriveFreeSpace(WCHAR letter, bool extended) {
    DriveFreeSpace space;
    if (letter == u'A' || letter == u'B') return space;
    const WCHAR root[] = {letter, u':', u'\\', 0};
    if (extended) {
        ULARGE_INTEGER caller_free{}, total{}, total_free{};
        if (!GetDiskFreeSpaceExW(root, &caller_free, &total, &total_free)) {
            space.failed = true;
            return space;
        }
        const ULONGLONG total_kb = total.QuadPart / 1024, free_kb = total_free.QuadPart / 1024;
        if (total_kb != 0) space.percent = static_cast<int>(double(free_kb) / double(total_kb) * 100.0);
        space.gigabytes = double(total_free.QuadPart) / (1024.0 * 1024.0 * 1024.0);
        return space;
    }
    DWORD sectors = 0, bytes = 0, free_clusters = 0, total_clusters = 0;
    if (!GetDiskFreeSpaceW(root, &sectors, &bytes, &free_clusters, &total_clusters)) {
        space.failed = true;
        return space;
    }
    if (total_clusters != 0) space.percent = static_cast<int>(double(free_clusters) / double(total_clusters) * 100.0);
    return space;
}

std::u16string FormatGigabytes(double gigabytes) { return plat::Format(u"%.3f", gigabytes); }
