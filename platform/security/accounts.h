// Tokens, account look-up and the computer name, answered by the account
// database in force (security/account_database.h).
#pragma once

#include "security/sid.h"

enum TOKEN_INFORMATION_CLASS : int { TokenUser = 1 };

inline constexpr DWORD TOKEN_QUERY = 0x0008;
inline constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;

struct SID_AND_ATTRIBUTES {
    PSID Sid = nullptr;
    DWORD Attributes = 0;
};

struct TOKEN_USER {
    SID_AND_ATTRIBUTES User;
};

// Pseudo handles, as on Windows.
HANDLE GetCurrentProcess();
HANDLE GetCurrentThread();

BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token);
// Threads never impersonate here: this fails with ERROR_NO_TOKEN.
BOOL OpenThreadToken(HANDLE thread, DWORD access, BOOL open_as_self, HANDLE* token);
// TokenUser: a TOKEN_USER followed by the SID it points to, in `buffer`.
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS cls, void* buffer, DWORD length, DWORD* return_length);

// Both take the buffer sizes in characters (bytes for the SID); too small a
// buffer fails with ERROR_INSUFFICIENT_BUFFER and stores the sizes needed,
// terminators included. On success the sizes are the lengths written.
BOOL LookupAccountSidW(LPCWSTR system, PSID sid, LPWSTR name, DWORD* name_chars, LPWSTR domain, DWORD* domain_chars,
                       SID_NAME_USE* use);
BOOL LookupAccountNameW(LPCWSTR system, LPCWSTR account, PSID sid, DWORD* sid_bytes, LPWSTR domain,
                        DWORD* domain_chars, SID_NAME_USE* use);

BOOL GetComputerNameW(LPWSTR buffer, DWORD* chars);
