#include "security/sid.h"

#include <cstdlib>
#include <cstring>

#include "base/last_error.h"
#include "base/win_errors.h"

namespace plat::security {

SidBytes MakeSid(const SID_IDENTIFIER_AUTHORITY& authority, const std::vector<DWORD>& sub_authorities) {
    SidBytes sid(8 + 4 * sub_authorities.size());
    sid[0] = SID_REVISION;
    sid[1] = static_cast<BYTE>(sub_authorities.size());
    std::memcpy(&sid[2], authority.Value, 6);
    for (std::size_t i = 0; i < sub_authorities.size(); ++i)
        for (int b = 0; b < 4; ++b) sid[8 + 4 * i + b] = static_cast<BYTE>(sub_authorities[i] >> (8 * b));
    return sid;
}

SidBytes AdministratorsSid() {
    return MakeSid(SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
}
SidBytes UnixUserSid(DWORD uid) { return MakeSid(SECURITY_UNIX_AUTHORITY, {1, uid}); }
SidBytes UnixGroupSid(DWORD gid) { return MakeSid(SECURITY_UNIX_AUTHORITY, {2, gid}); }

std::optional<SidBytes> SidFromPointer(const void* sid) {
    if (!IsValidSid(const_cast<void*>(sid))) return std::nullopt;
    const auto* p = static_cast<const BYTE*>(sid);
    return SidBytes(p, p + 8 + 4 * p[1]);
}

std::uint64_t SidAuthority(const SidBytes& sid) {
    std::uint64_t v = 0;
    for (int i = 2; i < 8; ++i) v = (v << 8) | sid.at(i);
    return v;
}

std::vector<DWORD> SidSubAuthorities(const SidBytes& sid) {
    std::vector<DWORD> out;
    for (std::size_t i = 8; i + 4 <= sid.size(); i += 4)
        out.push_back(DWORD(sid[i]) | DWORD(sid[i + 1]) << 8 | DWORD(sid[i + 2]) << 16 | DWORD(sid[i + 3]) << 24);
    return out;
}

}  // namespace plat::security

BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE count, DWORD a0, DWORD a1, DWORD a2,
                              DWORD a3, DWORD a4, DWORD a5, DWORD a6, DWORD a7, PSID* sid) {
    if (!authority || !sid || count == 0 || count > 8) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::vector<DWORD> all{a0, a1, a2, a3, a4, a5, a6, a7};
    const auto bytes = plat::security::MakeSid(*authority, std::vector<DWORD>(all.begin(), all.begin() + count));
    *sid = std::malloc(bytes.size());
    if (!*sid) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    std::memcpy(*sid, bytes.data(), bytes.size());
    return TRUE;
}

PVOID FreeSid(PSID sid) {
    std::free(sid);
    return nullptr;
}

BOOL IsValidSid(PSID sid) {
    const auto* p = static_cast<const BYTE*>(sid);
    return p && p[0] == SID_REVISION && p[1] <= SID_MAX_SUB_AUTHORITIES;
}

DWORD GetLengthSid(PSID sid) { return IsValidSid(sid) ? 8 + 4 * static_cast<const BYTE*>(sid)[1] : 0; }

BOOL EqualSid(PSID a, PSID b) {
    if (!IsValidSid(a) || !IsValidSid(b)) {
        SetLastError(ERROR_INVALID_SID);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return GetLengthSid(a) == GetLengthSid(b) && std::memcmp(a, b, GetLengthSid(a)) == 0;
}

BOOL CopySid(DWORD dest_length, PSID dest, PSID src) {
    if (!IsValidSid(src) || !dest) {
        SetLastError(ERROR_INVALID_SID);
        return FALSE;
    }
    if (dest_length < GetLengthSid(src)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(dest, src, GetLengthSid(src));
    return TRUE;
}

SID_IDENTIFIER_AUTHORITY* GetSidIdentifierAuthority(PSID sid) {
    return reinterpret_cast<SID_IDENTIFIER_AUTHORITY*>(static_cast<BYTE*>(sid) + 2);
}

BYTE* GetSidSubAuthorityCount(PSID sid) { return static_cast<BYTE*>(sid) + 1; }

DWORD* GetSidSubAuthority(PSID sid, DWORD index) {
    return reinterpret_cast<DWORD*>(static_cast<BYTE*>(sid) + 8 + 4 * index);
}
