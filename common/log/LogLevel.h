// Log levels: a signed number per entry, filtered against the log's current
// level, and the fixed table of three-letter names printed in each line.
#pragma once

#include <string_view>

#include "base/wintypes.h"

namespace logging {

// Always written, whatever the current level.
inline constexpr LONG kLevelAlways = 15;

// An entry passes when it is level 15 or not above the current level.
inline bool LevelPasses(LONG level, LONG current) { return level == kLevelAlways || level <= current; }

// "off", "CRI", ... "RSA", and "TRM" for 21 and above. A negative level (the
// current level is never negative, an entry's may be) prints as "off".
std::u16string_view LevelName(LONG level);

}  // namespace logging
