// The network-management group calls. Buffers they return are freed with
// NetApiBufferFree. On a host outside any domain NetGetDCName fails with
// NERR_DCNotFound and NetGroupGetUsers with NERR_GroupNotFound.
#pragma once

#include "security/sid.h"

using NET_API_STATUS = DWORD;
inline constexpr DWORD MAX_PREFERRED_LENGTH = 0xFFFFFFFFu;

struct LOCALGROUP_INFO_0 {
    LPWSTR lgrpi0_name;
};

struct LOCALGROUP_MEMBERS_INFO_2 {
    PSID lgrmi2_sid;
    SID_NAME_USE lgrmi2_sidusage;
    LPWSTR lgrmi2_domainandname;
};

struct GROUP_USERS_INFO_0 {
    LPWSTR grui0_name;
};

// Level 0 only.
NET_API_STATUS NetLocalGroupEnum(LPCWSTR server, DWORD level, BYTE** buffer, DWORD prefmaxlen, DWORD* read,
                                 DWORD* total, DWORD_PTR* resume);
// Level 2 only.
NET_API_STATUS NetLocalGroupGetMembers(LPCWSTR server, LPCWSTR group, DWORD level, BYTE** buffer, DWORD prefmaxlen,
                                       DWORD* read, DWORD* total, DWORD_PTR* resume);
// Level 0 only.
NET_API_STATUS NetGroupGetUsers(LPCWSTR server, LPCWSTR group, DWORD level, BYTE** buffer, DWORD prefmaxlen,
                                DWORD* read, DWORD* total, DWORD_PTR* resume);
// The controller's name with two leading backslashes.
NET_API_STATUS NetGetDCName(LPCWSTR server, LPCWSTR domain, BYTE** buffer);
NET_API_STATUS NetApiBufferFree(void* buffer);
