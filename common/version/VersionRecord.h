// The version record every binary of the product carries: the counterpart of
// a Windows version resource. It lives in the ELF section ".lumetra_version"
// of the executable or shared object, so the version of any of our files can
// be read from the file itself, loaded or not.
//
// Versions are packed as two 32-bit words: major in bits 24-31, the low
// 8 bits of minor in bits 16-23 and the build in bits 0-15; then the
// revision. Shown as "%lu.%lu.%lu.%lu".
//
// The build gives every executable and shared library of the project its
// record (common/CMakeLists.txt, from version_record.cpp.in); the version is
// the project's, the revision LUMETRA_BUILD_REVISION.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "base/wintypes.h"

namespace version {

struct PackedVersion {
    DWORD high = 0;  // major, minor, build
    DWORD low = 0;   // revision
};

constexpr PackedVersion Pack(DWORD major, DWORD minor, DWORD build, DWORD revision) {
    return {(major & 0xFF) << 24 | (minor & 0xFF) << 16 | (build & 0xFFFF), revision};
}

// major, minor, build, revision.
std::array<DWORD, 4> Unpack(PackedVersion version);

inline constexpr char kSectionName[] = ".lumetra_version";
inline constexpr std::array<char, 8> kMagic = {'L', 'M', 'V', 'E', 'R', 'S', '0', '1'};

// The record as it lies in the section; only 32-bit fields, no padding.
struct VersionRecord {
    std::array<char, 8> magic = kMagic;
    PackedVersion file;
    PackedVersion product;
};
static_assert(sizeof(VersionRecord) == 24);

// Reads the record of the ELF file at `path`. S_OK, or an HRESULT from the
// Win32 error (also left as the last error): ERROR_FILE_NOT_FOUND and the
// like for an unreadable file, ERROR_BAD_FORMAT for a file that is no 64-bit
// ELF, ERROR_RESOURCE_TYPE_NOT_FOUND for one without a record.
HRESULT ReadVersionRecord(const std::string& path, VersionRecord& out);

}  // namespace version
