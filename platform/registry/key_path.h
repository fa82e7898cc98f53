// Key paths and names: splitting a relative path into components, checking
// them against the Windows limits, and the case-folded form names are
// compared by.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/wintypes.h"

namespace plat::reg {

struct KeyPath {
    std::vector<std::u16string> names;
};

// Splits a path relative to a key ("A\B\C"). An empty path is the key
// itself; one trailing backslash is accepted. STATUS_OBJECT_PATH_SYNTAX_BAD
// for a leading backslash or an empty component, STATUS_INVALID_PARAMETER
// for a component over 255 characters, STATUS_OBJECT_NAME_INVALID for text
// that is not valid UTF-16.
NTSTATUS ParseKeyPath(std::u16string_view text, KeyPath* out);

// STATUS_INVALID_PARAMETER for a value name over 16383 characters,
// STATUS_OBJECT_NAME_INVALID for text that is not valid UTF-16.
NTSTATUS CheckValueName(std::u16string_view name);

// The stored, compared form of a name: ASCII lower case, UTF-8.
std::string FoldName(std::u16string_view name);

}  // namespace plat::reg
