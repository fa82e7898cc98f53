// A module's file version packed into two 32-bit words: the first holds the
// major version in bits 24-31, the low 8 bits of the minor version in bits
// 16-23 and the build in bits 0-15; the second holds the revision. Two
// versions are compatible when their first words are equal.
#pragma once

#include <optional>
#include <string>

#include "resource/resource_types.h"

struct PackedVersion {
    DWORD high = 0;
    DWORD revision = 0;

    static constexpr PackedVersion Of(DWORD major, DWORD minor, DWORD build, DWORD revision = 0) {
        return PackedVersion{(major << 24) | ((minor & 0xFF) << 16) | (build & 0xFFFF), revision};
    }
    DWORD Major() const { return high >> 24; }
    DWORD Minor() const { return (high >> 16) & 0xFF; }
    DWORD Build() const { return high & 0xFFFF; }
    // "%lu.%lu.%lu.%lu"
    std::u16string Text() const;
};

// The packed file version of a file (GetFileVersionInfoW and
// VerQueryValueW); nothing when it has none.
std::optional<PackedVersion> ReadPackedFileVersion(const std::u16string& file_name);
