// The group and directory calls over an in-memory domain.
#include <gtest/gtest.h>

#include "security/account_database.h"
#include "security/ads.h"
#include "security/netapi.h"
#include "security/security_errors.h"

namespace {

using plat::security::Account;
using plat::security::DirectoryObject;
using plat::security::MakeSid;
using plat::security::MemoryAccountDatabase;

const auto kAlice = MakeSid(SECURITY_NT_AUTHORITY, {21, 1, 2, 3, 1105});

class Directory : public ::testing::Test {
protected:
    Directory() : db(std::make_shared<MemoryAccountDatabase>(u"PC1", kAlice)), scoped(db) {
        db->AddAccount(u"", {u"BUILTIN", u"Administratoren", plat::security::AdministratorsSid(), SidTypeAlias});
        db->AddAccount(u"", {u"CORP", u"alice", kAlice, SidTypeUser});
        db->AddLocalGroupMember(u"", u"Administratoren", u"CORP\\alice");
        db->AddLocalGroupMember(u"", u"Gäste", u"");
        db->SetDomainController(u"CORP", u"DC1");
        db->AddGroupUser(u"dc1", u"Domain Admins", u"alice");
        const std::u16string base = u"LDAP://DC1/CN=";
        db->AddDirectoryObject(u"dc1", {base + u"Domain Admins", u"group", u"Domain Admins", u"", {},
                                        {base + u"Nested", base + u"Printer"}});
        db->AddDirectoryObject(u"dc1", {base + u"Nested", u"group", u"Nested", u"", {}, {base + u"alice"}});
        db->AddDirectoryObject(u"dc1", {base + u"alice", u"user", u"alice", u"Alice A.", kAlice, {}});
        db->AddDirectoryObject(u"dc1", {base + u"Printer", u"printQueue", u"Printer", u"", {}, {}});
        CoInitialize(nullptr);
    }
    ~Directory() override { CoUninitialize(); }

    std::shared_ptr<MemoryAccountDatabase> db;
    plat::security::ScopedAccountDatabase scoped;
};

TEST_F(Directory, LocalGroupsAndTheirMembersComeFromTheDatabase) {
    BYTE* buffer = nullptr;
    DWORD read = 0, total = 0;
    ASSERT_EQ(NetLocalGroupEnum(u"\\\\PC1", 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total, nullptr), 0u);
    ASSERT_EQ(read, 2u);
    EXPECT_EQ(std::u16string(reinterpret_cast<LOCALGROUP_INFO_0*>(buffer)[0].lgrpi0_name), u"Administratoren");
    NetApiBufferFree(buffer);

    ASSERT_EQ(NetLocalGroupGetMembers(nullptr, u"administratoren", 2, &buffer, MAX_PREFERRED_LENGTH, &read, &total,
                                      nullptr), 0u);
    ASSERT_EQ(read, 1u);
    const auto& member = reinterpret_cast<LOCALGROUP_MEMBERS_INFO_2*>(buffer)[0];
    EXPECT_EQ(std::u16string(member.lgrmi2_domainandname), u"CORP\\alice");
    EXPECT_EQ(member.lgrmi2_sidusage, SidTypeUser);
    EXPECT_TRUE(EqualSid(member.lgrmi2_sid, const_cast<BYTE*>(kAlice.data())));
    NetApiBufferFree(buffer);

    EXPECT_EQ(NetLocalGroupGetMembers(nullptr, u"Administratoren", 0, &buffer, 0, &read, &total, nullptr),
              ERROR_INVALID_LEVEL);
    EXPECT_EQ(NetLocalGroupGetMembers(nullptr, u"None", 2, &buffer, 0, &read, &total, nullptr), ERROR_NO_SUCH_ALIAS);
}

TEST_F(Directory, DomainControllerAndGlobalGroupUsers) {
    BYTE* dc = nullptr;
    ASSERT_EQ(NetGetDCName(nullptr, u"corp", &dc), 0u);
    EXPECT_EQ(std::u16string(reinterpret_cast<WCHAR*>(dc)), u"\\\\DC1");
    NetApiBufferFree(dc);
    EXPECT_EQ(NetGetDCName(nullptr, u"OTHER", &dc), NERR_DCNotFound);

    BYTE* users = nullptr;
    DWORD read = 0, total = 0;
    ASSERT_EQ(NetGroupGetUsers(u"\\\\DC1", u"Domain Admins", 0, &users, MAX_PREFERRED_LENGTH, &read, &total, nullptr),
              0u);
    ASSERT_EQ(read, 1u);
    EXPECT_EQ(std::u16string(reinterpret_cast<GROUP_USERS_INFO_0*>(users)[0].grui0_name), u"alice");
    NetApiBufferFree(users);
    db->FailHost(u"dc1", ERROR_ACCESS_DENIED);
    EXPECT_EQ(NetGroupGetUsers(u"\\\\DC1", u"Domain Admins", 0, &users, 0, &read, &total, nullptr),
              ERROR_ACCESS_DENIED);
}

TEST_F(Directory, SearchFindsAGroupWhoseMembersEnumerateAsUsersGroupsAndOthers) {
    IADs* host = nullptr;
    ASSERT_EQ(ADsGetObject(u"LDAP://DC1", IID_IADs, reinterpret_cast<void**>(&host)), S_OK);
    IDirectorySearch* search = nullptr;
    ASSERT_EQ(host->QueryInterface(IID_IDirectorySearch, reinterpret_cast<void**>(&search)), S_OK);
    const WCHAR* attrs[] = {u"ADsPath"};
    ADS_SEARCH_HANDLE handle = nullptr;
    ASSERT_EQ(search->ExecuteSearch(u"cn=domain admins", attrs, 1, &handle), S_OK);
    ASSERT_EQ(search->GetNextRow(handle), S_OK);
    ADS_SEARCH_COLUMN column;
    ASSERT_EQ(search->GetColumn(handle, u"ADsPath", &column), S_OK);
    EXPECT_EQ(search->GetNextRow(handle), S_ADS_NOMORE_ROWS);
    search->CloseSearchHandle(handle);

    IADsGroup* group = nullptr;
    ASSERT_EQ(ADsGetObject(column.values.at(0).c_str(), IID_IADsGroup, reinterpret_cast<void**>(&group)), S_OK);
    IADsMembers* members = nullptr;
    ASSERT_EQ(group->Members(&members), S_OK);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(members->get__NewEnum(&unknown), S_OK);
    IEnumVARIANT* e = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&e)), S_OK);

    std::vector<std::u16string> kinds;
    VARIANT v;
    ULONG fetched = 0;
    while (ADsEnumerateNext(e, 1, &v, &fetched) == S_OK && fetched == 1 && kinds.size() < 10) {
        void* as = nullptr;
        if (v.pdispVal->QueryInterface(IID_IADsUser, &as) == S_OK || v.pdispVal->QueryInterface(IID_IADsGroup, &as) == S_OK) {
            static_cast<IUnknown*>(as)->Release();
            kinds.push_back(u"user-or-group");
        } else {
            kinds.push_back(u"other");
        }
        VariantClear(&v);
    }
    EXPECT_EQ(kinds, (std::vector<std::u16string>{u"user-or-group", u"other"}));

    IADsUser* alice = nullptr;
    ASSERT_EQ(ADsGetObject(u"LDAP://DC1/CN=alice", IID_IADsUser, reinterpret_cast<void**>(&alice)), S_OK);
    ASSERT_EQ(alice->Get(u"objectSid", &v), S_OK);
    EXPECT_EQ(v.bytes, kAlice);
    VariantClear(&v);
    std::u16string full;
    alice->get_FullName(&full);
    EXPECT_EQ(full, u"Alice A.");

    for (IUnknown* o : std::initializer_list<IUnknown*>{alice, e, unknown, members, group, search, host}) o->Release();
}

TEST_F(Directory, UnknownPathsAndInterfacesAreRefused) {
    void* out = nullptr;
    EXPECT_EQ(ADsGetObject(u"LDAP://DC1/CN=nobody", IID_IADs, &out), static_cast<HRESULT>(0x80072030u));
    EXPECT_EQ(ADsGetObject(u"WinNT://DC1", IID_IADs, &out), E_ADS_BAD_PATHNAME);
    EXPECT_EQ(ADsGetObject(u"LDAP://DC1/CN=Printer", IID_IADsGroup, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

}  // namespace
