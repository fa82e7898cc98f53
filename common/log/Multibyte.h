// Conversion between UTF-16 and the process locale's multibyte encoding,
// which is what log files carry. A character the locale cannot represent
// becomes '?' rather than failing the whole text, so an entry is never lost
// for one odd character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace logging {

// At most `max_bytes` bytes; a character that would not fit whole is left out
// with everything after it.
std::string ToMultibyte(std::u16string_view text, std::size_t max_bytes);

// Invalid sequences become U+FFFD.
std::u16string FromMultibyte(std::string_view text);

}  // namespace logging
