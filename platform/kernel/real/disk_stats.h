// The block layer's counters: /proc/diskstats (one line per disk and
// partition) and a device's "inflight" file in sysfs (requests in flight,
// reads and writes). Both parsers take text and never fail: lines of another
// shape are skipped, missing counters read as 0.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kern::real {

struct DiskStats {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::string name;  // "sda1"
    std::uint64_t reads = 0;  // reads completed
    std::uint64_t writes = 0;  // writes completed
    std::uint64_t discards = 0;  // discards completed (kernel 4.18 on)
    std::uint64_t flushes = 0;  // flush requests completed (kernel 5.5 on)
    std::uint64_t in_progress = 0;  // I/Os in flight, reads and writes together

    // Completed requests that count as writes: writes, discards and flushes.
    std::uint64_t WriteClass() const { return writes + discards + flushes; }
};

// `wanted`, when given, picks the lines to parse by device number (major,
// minor); the others are skipped unparsed (a sampler watches a few devices
// of many).
std::vector<DiskStats> ParseDiskStats(std::string_view text,
                                      const std::function<bool(std::uint32_t, std::uint32_t)>& wanted = {});

struct InFlight {
    std::uint64_t reads = 0;
    std::uint64_t writes = 0;
};
// "       3        1\n"; none when the text holds no two numbers.
std::optional<InFlight> ParseInFlight(std::string_view text);

}  // namespace kern::real
