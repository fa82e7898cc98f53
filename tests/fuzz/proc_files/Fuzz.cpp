// The readers of Linux's own files on the real machine: /proc/self/mountinfo
// (escapes, missing fields, the optional-field separator), /proc/diskstats
// (short lines, numbers past 64 bits) and a device's inflight file. The
// kernel writes these, but a container or a future kernel may write them
// differently; the first input byte chooses the reader.
#include <cstdint>
#include <string_view>

#include "kernel/real/disk_stats.h"
#include "kernel/real/mountinfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 3) {
    case 0:
        for (const auto& entry : kern::real::ParseMountInfo(text)) {
            if (kern::real::KindOfMount(entry) == kern::real::MountKind::Network) kern::real::UncNameOf(entry);
        }
        break;
    case 1: kern::real::ParseDiskStats(text); break;
    default: kern::real::ParseInFlight(text); break;
    }
    return 0;
}
