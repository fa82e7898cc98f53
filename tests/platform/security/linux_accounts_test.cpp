// The real account database of this machine: root exists on every Linux
// system, and the machine is in no domain.
#include <gtest/gtest.h>
#include <unistd.h>

#include "base/handle.h"
#include "base/last_error.h"
#include "base/text.h"
#include "security/accounts.h"
#include "security/ads.h"
#include "security/netapi.h"
#include "security/security_errors.h"

namespace {

using plat::security::SidBytes;

TEST(LinuxAccounts, RootResolvesBothWaysAsAUnixUserSid) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sid_bytes = sizeof sid;
    WCHAR domain[64];
    DWORD domain_chars = 64;
    SID_NAME_USE use{};
    ASSERT_TRUE(LookupAccountNameW(nullptr, u"root", sid, &sid_bytes, domain, &domain_chars, &use));
    EXPECT_EQ(SidBytes(sid, sid + sid_bytes), plat::security::UnixUserSid(0));
    EXPECT_EQ(use, SidTypeUser);

    WCHAR name[8];
    DWORD name_chars = 2;  // too small: the sizes needed come back
    domain_chars = 64;
    EXPECT_FALSE(LookupAccountSidW(u"localhost", sid, name, &name_chars, domain, &domain_chars, &use));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(name_chars, 5u);
    ASSERT_TRUE(LookupAccountSidW(u"localhost", sid, name, &name_chars, domain, &domain_chars, &use));
    EXPECT_EQ(std::u16string(name), u"root");
    EXPECT_EQ(name_chars, 4u);
}

TEST(LinuxAccounts, AdministratorsHoldsRootAndIsFoundBySid) {
    SID_NAME_USE use{};
    WCHAR name[64], domain[64];
    DWORD name_chars = 64, domain_chars = 64;
    auto admins = plat::security::AdministratorsSid();
    ASSERT_TRUE(LookupAccountSidW(nullptr, admins.data(), name, &name_chars, domain, &domain_chars, &use));
    EXPECT_EQ(std::u16string(domain) + u"\\" + name, u"BUILTIN\\Administrators");
    EXPECT_EQ(use, SidTypeAlias);

    BYTE* buffer = nullptr;
    DWORD read = 0, total = 0;
    ASSERT_EQ(NetLocalGroupGetMembers(nullptr, name, 2, &buffer, MAX_PREFERRED_LENGTH, &read, &total, nullptr), 0u);
    const auto* members = reinterpret_cast<LOCALGROUP_MEMBERS_INFO_2*>(buffer);
    bool root = false;
    for (DWORD i = 0; i < read; ++i)
        root |= EqualSid(members[i].lgrmi2_sid, plat::security::UnixUserSid(0).data()) != FALSE;
    EXPECT_TRUE(root);
    EXPECT_EQ(NetApiBufferFree(buffer), 0u);
}

TEST(LinuxAccounts, TheProcessTokenNamesTheEffectiveUserAndThreadsHaveNoToken) {
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
    EXPECT_EQ(GetLastError(), ERROR_NO_TOKEN);
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD needed = 0;
    EXPECT_FALSE(GetTokenInformation(token, TokenUser, nullptr, 0, &needed));
    std::vector<BYTE> info(needed);
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, info.data(), needed, &needed));
    const auto* user = reinterpret_cast<TOKEN_USER*>(info.data());
    EXPECT_TRUE(EqualSid(user->User.Sid, plat::security::UnixUserSid(geteuid()).data()));
    CloseHandle(token);
}

TEST(LinuxAccounts, APlainHostHasNoDomainControllerAndNoDirectory) {
    BYTE* dc = nullptr;
    EXPECT_EQ(NetGetDCName(nullptr, nullptr, &dc), NERR_DCNotFound);
    void* object = nullptr;
    EXPECT_EQ(ADsGetObject(u"LDAP://dc1", IID_IADs, &object), CO_E_NOTINITIALIZED);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(ADsGetObject(u"LDAP://dc1", IID_IADs, &object), HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE));
    EXPECT_EQ(ADsGetObject(u"LDAP://localhost", IID_IADs, &object), HRESULT_FROM_WIN32(ERROR_NO_SUCH_DOMAIN));
    EXPECT_EQ(object, nullptr);
    CoUninitialize();
}

TEST(LinuxAccounts, ComputerNameIsUpperCaseAndAtMostFifteenCharacters) {
    WCHAR name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD chars = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(name, &chars));
    EXPECT_LE(chars, MAX_COMPUTERNAME_LENGTH);
    EXPECT_EQ(std::u16string(name), plat::ToUpperAscii(name));
}

}  // namespace
