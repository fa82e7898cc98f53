// Composing an entry's message and its text line:
//   05.03.2007 14:02:09:031 AUD: LOGD:[08a3c] computername='PC1'
// stamp (local time), blank, level name, ": ", category and ":" when there
// is one, then the message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/wintypes.h"

namespace logging {

// Cut limits of the composed texts.
inline constexpr std::size_t kMaxFormatted = 12287;     // Print's text, the composed message
inline constexpr std::size_t kMaxLineMessage = 4096;    // message within a line
inline constexpr std::size_t kMaxStoredText = 4095;     // an entry's message and extra text
inline constexpr std::size_t kMaxCategory = 19;

// "[08<thread id in hex>] " (when thread_prefix is set), part 1, then
// " | " part 2 and " | " part 3 when present; "(EVENT 0x<id>)" when the id
// is not 0; finally one trailing line feed removed.
std::u16string ComposeMessage(bool thread_prefix, DWORD thread_id, std::span<const std::u16string_view> parts,
                              DWORD event_id);

// "dd.mm.yyyy hh:mm:ss:mmm" of a UTC FILETIME shown in local time.
std::u16string FormatStamp(std::uint64_t utc_filetime);

// "<level>: " or "<level>: <category>:".
std::u16string FormatHeader(LONG level, std::u16string_view category);

// The whole line, without line end; the message is cut at 4,096 characters.
std::u16string FormatLine(std::uint64_t utc_filetime, LONG level, std::u16string_view category,
                          std::u16string_view message);

}  // namespace logging
