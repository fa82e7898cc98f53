// The ROOT\PATH argument of lumetra-reg: which root and which key below it.
#pragma once

#include <optional>
#include <string>

#include "registry/registry.h"

struct KeyTarget {
    HKEY root = nullptr;
    std::string root_label;  // "HKLM" or "HKCU", as printed
    std::u16string path;     // below the root, without leading backslash

    // "HKLM\SOFTWARE\..." for messages and listings.
    std::string Display() const;
    // The target of a sub key of this one.
    KeyTarget Child(const std::u16string& name) const;
};

// Accepts HKLM, HKCU, HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER in any case,
// alone or followed by a backslash and a path. Nothing for anything else.
std::optional<KeyTarget> ParseKeyTarget(const std::string& text);
