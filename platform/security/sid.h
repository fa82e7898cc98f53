// Security identifiers in their binary form (revision, sub-authority count,
// 48-bit identifier authority big-endian, sub-authorities little-endian),
// with the Win32 calls that make, check, compare and copy them.
//
// Linux accounts get SIDs in the "Unix user" and "Unix group" authorities:
// a user with uid U is S-1-22-1-U and a group with gid G is S-1-22-2-G. The
// built-in Administrators group is S-1-5-32-544.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/wintypes.h"

using PSID = void*;

struct SID_IDENTIFIER_AUTHORITY {
    BYTE Value[6];
};

inline constexpr BYTE SID_REVISION = 1;
inline constexpr BYTE SID_MAX_SUB_AUTHORITIES = 15;
inline constexpr DWORD SECURITY_MAX_SID_SIZE = 8 + 4 * SID_MAX_SUB_AUTHORITIES;
inline constexpr SID_IDENTIFIER_AUTHORITY SECURITY_NT_AUTHORITY{{0, 0, 0, 0, 0, 5}};
inline constexpr SID_IDENTIFIER_AUTHORITY SECURITY_UNIX_AUTHORITY{{0, 0, 0, 0, 0, 22}};
inline constexpr DWORD SECURITY_BUILTIN_DOMAIN_RID = 32;
inline constexpr DWORD DOMAIN_ALIAS_RID_ADMINS = 544;
inline constexpr DWORD DOMAIN_ALIAS_RID_USERS = 545;

enum SID_NAME_USE : int {
    SidTypeUser = 1,
    SidTypeGroup,
    SidTypeDomain,
    SidTypeAlias,
    SidTypeWellKnownGroup,
    SidTypeDeletedAccount,
    SidTypeInvalid,
    SidTypeUnknown,
    SidTypeComputer,
};

BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE count, DWORD a0, DWORD a1, DWORD a2,
                              DWORD a3, DWORD a4, DWORD a5, DWORD a6, DWORD a7, PSID* sid);
PVOID FreeSid(PSID sid);
BOOL IsValidSid(PSID sid);
BOOL EqualSid(PSID a, PSID b);
DWORD GetLengthSid(PSID sid);
BOOL CopySid(DWORD dest_length, PSID dest, PSID src);
SID_IDENTIFIER_AUTHORITY* GetSidIdentifierAuthority(PSID sid);
BYTE* GetSidSubAuthorityCount(PSID sid);
DWORD* GetSidSubAuthority(PSID sid, DWORD index);

namespace plat::security {

using SidBytes = std::vector<BYTE>;

SidBytes MakeSid(const SID_IDENTIFIER_AUTHORITY& authority, const std::vector<DWORD>& sub_authorities);
SidBytes AdministratorsSid();
SidBytes UnixUserSid(DWORD uid);
SidBytes UnixGroupSid(DWORD gid);
// The bytes of a valid SID, or nothing.
std::optional<SidBytes> SidFromPointer(const void* sid);
// Authority and sub-authorities of a SID; `rid` is the last sub-authority.
std::uint64_t SidAuthority(const SidBytes& sid);
std::vector<DWORD> SidSubAuthorities(const SidBytes& sid);

}  // namespace plat::security
