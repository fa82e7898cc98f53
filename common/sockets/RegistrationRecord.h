// The 276-byte registration record, little-endian:
//   0  protocol version (1)          2  lowest version accepted (1)
//   4  16 reserved bytes (zero)      20 SID length in bytes
//   24 user name, UTF-16, 99 characters and a terminator
//   224 the SID in binary form, zero-filled, at most 52 bytes
// A SID longer than 52 bytes (more than 11 sub-authorities) is not carried
// at all: the record then has SID length 0 and a zero SID field, so the
// peer can only be admitted by a permission that needs no SID.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "base/wintypes.h"

class RegistrationRecord {
public:
    static constexpr DWORD kSize = 276;
    static constexpr DWORD kNameOffset = 24;
    static constexpr DWORD kNameChars = 100;
    static constexpr DWORD kSidOffset = 224;
    static constexpr DWORD kMaxSid = 52;
    static constexpr WORD kVersion = 1;

    RegistrationRecord() = default;
    // Version 1, lowest accepted 1, and the SID when it fits.
    static RegistrationRecord Make(const void* sid, DWORD sid_length);
    // A record from received bytes (exactly kSize of them).
    static bool Parse(const void* bytes, DWORD length, RegistrationRecord* out);

    WORD Version() const;
    WORD LowestAccepted() const;
    DWORD SidLength() const;
    // The SID, or nothing when the record carries none or its SID field is
    // not a valid SID within the stated length (a peer's record is checked
    // here, so nothing reads past the record).
    std::vector<BYTE> Sid() const;
    std::u16string UserName() const;
    // Stores up to 99 characters, zero-filling the rest of the field.
    void SetUserName(std::u16string_view name);

    const BYTE* Bytes() const { return m_bytes.data(); }
    BYTE* Bytes() { return m_bytes.data(); }

private:
    std::array<BYTE, kSize> m_bytes{};
};
static_assert(sizeof(RegistrationRecord) == RegistrationRecord::kSize);
