#include "sockets/RegistrationRecord.h"

#include <algorithm>
#include <cstring>

#include "sockets/PacketFormat.h"

namespace {
WORD ReadLe16(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }
void WriteLe16(BYTE* p, WORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}
}  // namespace

RegistrationRecord RegistrationRecord::Make(const void* sid, DWORD sid_length) {
    RegistrationRecord r;
    WriteLe16(&r.m_bytes[0], kVersion);
    WriteLe16(&r.m_bytes[2], kVersion);
    if (sid && sid_length > 0 && sid_length <= kMaxSid) {
        WriteLe32(&r.m_bytes[20], sid_length);
        std::memcpy(&r.m_bytes[kSidOffset], sid, sid_length);
    }
    return r;
}

bool RegistrationRecord::Parse(const void* bytes, DWORD length, RegistrationRecord* out) {
    if (!bytes || length != kSize) return false;
    std::memcpy(out->m_bytes.data(), bytes, kSize);
    return true;
}

WORD RegistrationRecord::Version() const { return ReadLe16(&m_bytes[0]); }
WORD RegistrationRecord::LowestAccepted() const { return ReadLe16(&m_bytes[2]); }
DWORD RegistrationRecord::SidLength() const { return std::min(ReadLe32(&m_bytes[20]), kMaxSid); }
std::vector<BYTE> RegistrationRecord::Sid() const {
    const DWORD length = SidLength();
    const BYTE* sid = &m_bytes[kSidOffset];
    if (length < 8 || sid[0] != 1 || 8u + 4u * sid[1] > length) return {};
    return std::vector<BYTE>(sid, sid + 8 + 4 * sid[1]);
}

std::u16string RegistrationRecord::UserName() const {
    std::u16string name;
    for (DWORD i = 0; i < kNameChars - 1; ++i) {
        const char16_t c = static_cast<char16_t>(ReadLe16(&m_bytes[kNameOffset + 2 * i]));
        if (c == 0) break;
        name.push_back(c);
    }
    return name;
}

void RegistrationRecord::SetUserName(std::u16string_view name) {
    std::fill_n(&m_bytes[kNameOffset], 2 * kNameChars, BYTE{0});
    const std::size_t n = std::min<std::size_t>(name.size(), kNameChars - 1);
    for (std::size_t i = 0; i < n; ++i) WriteLe16(&m_bytes[kNameOffset + 2 * i], name[i]);
}
