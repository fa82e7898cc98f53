#include "security/accounts.h"

#include <cstring>

#include "base/handle.h"
#include "base/last_error.h"
#include "base/text.h"
#include "security/account_database.h"
#include "security/security_errors.h"

namespace {

using plat::security::Account;
using plat::security::CurrentAccountDatabase;
using plat::security::SidBytes;

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2));

struct Token final : plat::HandleObject {
    explicit Token(SidBytes user_) : user(std::move(user_)) {}
    SidBytes user;
};

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool Fits(const std::u16string& text, LPWSTR buffer, DWORD chars) { return buffer && chars >= text.size() + 1; }

// Stores `text` (fitting, see Fits) and its length.
void StoreText(const std::u16string& text, LPWSTR buffer, DWORD* chars) {
    std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    *chars = static_cast<DWORD>(text.size());
}

void NeedChars(const std::u16string& text, DWORD* chars) {
    *chars = static_cast<DWORD>(text.size() + 1);
}

}  // namespace

HANDLE GetCurrentProcess() { return kCurrentProcess; }
HANDLE GetCurrentThread() { return kCurrentThread; }

BOOL OpenProcessToken(HANDLE process, DWORD, HANDLE* token) {
    if (!token) return Fail(ERROR_INVALID_PARAMETER);
    if (process != kCurrentProcess) return Fail(ERROR_ACCESS_DENIED);
    *token = plat::RegisterHandle(std::make_shared<Token>(CurrentAccountDatabase().ProcessUserSid()));
    return TRUE;
}

BOOL OpenThreadToken(HANDLE, DWORD, BOOL, HANDLE* token) {
    if (token) *token = nullptr;
    return Fail(ERROR_NO_TOKEN);
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS cls, void* buffer, DWORD length,
                         DWORD* return_length) {
    const auto t = plat::LookupHandleAs<Token>(token);
    if (!t) return Fail(ERROR_INVALID_HANDLE);
    if (cls != TokenUser || !return_length) return Fail(ERROR_INVALID_PARAMETER);
    const DWORD needed = static_cast<DWORD>(sizeof(TOKEN_USER) + t->user.size());
    *return_length = needed;
    if (!buffer || length < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
    auto* user = static_cast<TOKEN_USER*>(buffer);
    BYTE* sid = static_cast<BYTE*>(buffer) + sizeof(TOKEN_USER);
    std::memcpy(sid, t->user.data(), t->user.size());
    *user = TOKEN_USER{SID_AND_ATTRIBUTES{sid, 0}};
    return TRUE;
}

BOOL LookupAccountSidW(LPCWSTR system, PSID sid, LPWSTR name, DWORD* name_chars, LPWSTR domain, DWORD* domain_chars,
                       SID_NAME_USE* use) {
    const auto bytes = plat::security::SidFromPointer(sid);
    if (!bytes) return Fail(ERROR_INVALID_SID);
    if (!name_chars || !domain_chars || !use) return Fail(ERROR_INVALID_PARAMETER);
    Account account;
    const DWORD error = CurrentAccountDatabase().LookupSid(plat::security::NormalizeHost(system), *bytes, &account);
    if (error) return Fail(error);
    if (!Fits(account.name, name, *name_chars) || !Fits(account.domain, domain, *domain_chars)) {
        NeedChars(account.name, name_chars);
        NeedChars(account.domain, domain_chars);
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    StoreText(account.name, name, name_chars);
    StoreText(account.domain, domain, domain_chars);
    *use = account.use;
    return TRUE;
}

BOOL LookupAccountNameW(LPCWSTR system, LPCWSTR account_name, PSID sid, DWORD* sid_bytes, LPWSTR domain,
                        DWORD* domain_chars, SID_NAME_USE* use) {
    if (!account_name || !sid_bytes || !domain_chars || !use) return Fail(ERROR_INVALID_PARAMETER);
    Account account;
    const DWORD error =
        CurrentAccountDatabase().LookupName(plat::security::NormalizeHost(system), account_name, &account);
    if (error) return Fail(error);
    const DWORD needed = static_cast<DWORD>(account.sid.size());
    if (!sid || *sid_bytes < needed || !Fits(account.domain, domain, *domain_chars)) {
        *sid_bytes = needed;
        NeedChars(account.domain, domain_chars);
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    *sid_bytes = needed;
    std::memcpy(sid, account.sid.data(), needed);
    StoreText(account.domain, domain, domain_chars);
    *use = account.use;
    return TRUE;
}

BOOL GetComputerNameW(LPWSTR buffer, DWORD* chars) {
    if (!chars) return Fail(ERROR_INVALID_PARAMETER);
    const std::u16string name = CurrentAccountDatabase().ComputerName();
    if (!Fits(name, buffer, *chars)) {
        NeedChars(name, chars);
        return Fail(ERROR_BUFFER_OVERFLOW);
    }
    StoreText(name, buffer, chars);
    return TRUE;
}
