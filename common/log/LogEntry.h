// One log entry as the file outputs receive it.
#pragma once

#include <cstdint>
#include <string>

#include "base/wintypes.h"

namespace logging {

struct LogEntry {
    DWORD tag = 0;             // 0 for every entry made through Print
    LONG level = 0;
    std::uint64_t time = 0;    // FILETIME of the entry, UTC
    std::u16string category;   // at most 19 characters
    std::u16string message;    // at most 4,095 characters
    std::u16string extra;      // at most 4,095 characters; empty in this system
};

}  // namespace logging
