// Per-mount operation counters of network file systems: the NFS client's
// /proc/self/mountstats ("per-op statistics" of each mount) and the CIFS
// client's /proc/fs/cifs/Stats (one section per share). Requests are sorted
// into the two classes the activity filter counts: reads and queries, and
// writes, flushes and changes. Both parsers take text and never fail.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace kern::real {

struct OperationCounts {
    std::uint64_t reads = 0;
    std::uint64_t writes = 0;
    bool operator==(const OperationCounts&) const = default;
};

// By mount point (escapes undone), for every NFS mount of the file.
std::map<std::string, OperationCounts> ParseNfsMountStats(std::string_view text);

// By UNC share name ("\\server\share"), for every share of the file.
std::map<std::string, OperationCounts> ParseCifsStats(std::string_view text);

}  // namespace kern::real
