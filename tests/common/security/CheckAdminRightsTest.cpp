// The administrator check over an in-memory machine, domain and directory.
#include "security/CheckAdminRights.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/text.h"
#include "base/win_errors.h"
#include "security/account_database.h"

namespace {

using plat::security::DirectoryObject;
using plat::security::MakeSid;
using plat::security::MemoryAccountDatabase;

const auto kAlice = MakeSid(SECURITY_NT_AUTHORITY, {21, 1, 2, 3, 1105});
const auto kBob = MakeSid(SECURITY_NT_AUTHORITY, {21, 1, 2, 3, 1106});
const auto kDomainAdmins = MakeSid(SECURITY_NT_AUTHORITY, {21, 1, 2, 3, 512});

class AdminCheck : public ::testing::Test {
protected:
    AdminCheck() : db(std::make_shared<MemoryAccountDatabase>(u"PC1", kBob)), scoped(db) {
        m_path = std::filesystem::temp_directory_path() / ("lumetra-goc-" + std::to_string(::getpid()) + ".log");
        parent.Init(u"TEST", FALSE, 4, FALSE);
        parent.SetFlush(FALSE);
        parent.OpenFile(plat::Utf8ToUtf16(m_path.string()).c_str(), CLog::kTextOutput, FALSE, 0);
        // A localised name: the group is found by its SID.
        db->AddAccount(u"", {u"VORDEFINIERT", u"Administratoren", plat::security::AdministratorsSid(), SidTypeAlias});
        db->AddAccount(u"", {u"CORP", u"alice", kAlice, SidTypeUser});
        db->AddAccount(u"", {u"PC1", u"bob", kBob, SidTypeUser});
        db->AddLocalGroupMember(u"", u"Administratoren", u"");
    }
    ~AdminCheck() override {
        parent.Close();
        std::filesystem::remove(m_path);
    }
    std::string Log() {
        std::ifstream in(m_path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool Logged(const std::string& text) { return Log().find(text) != std::string::npos; }
    int Check(const std::vector<BYTE>& sid) {
        CCheckAdminRights checker(&parent);
        return checker.AdminRights(nullptr, const_cast<BYTE*>(sid.data()));
    }
    // CORP\Domain Admins in the Administrators group, CORP served by DC1.
    void AddDomainAdmins() {
        db->AddAccount(u"", {u"CORP", u"Domain Admins", kDomainAdmins, SidTypeGroup});
        db->AddLocalGroupMember(u"", u"Administratoren", u"CORP\\Domain Admins");
        db->SetDomainController(u"CORP", u"DC1");
        db->AddAccount(u"dc1", {u"CORP", u"alice", kAlice, SidTypeUser});
    }

    std::shared_ptr<MemoryAccountDatabase> db;
    plat::security::ScopedAccountDatabase scoped;
    CLog parent;
    std::filesystem::path m_path;
};

TEST_F(AdminCheck, ADirectMemberIsFoundInTheFirstPassWithoutNetworkCalls) {
    db->AddLocalGroupMember(u"", u"Administratoren", u"CORP\\alice");
    EXPECT_EQ(Check(kAlice), 1);
    EXPECT_TRUE(Logged("BUILTIN_LocalAdmins group found"));
    EXPECT_TRUE(Logged("user found!"));
    EXPECT_TRUE(Logged("User-SID = S-1-5-21-1-2-3-1105"));
    EXPECT_FALSE(Logged("NetGetDCName"));
    EXPECT_EQ(Check(kBob), 0);
    EXPECT_TRUE(Logged("Check() returns 0"));
}

TEST_F(AdminCheck, ADomainAdministratorIsFoundThroughTheDirectory) {
    AddDomainAdmins();
    const std::u16string base = u"LDAP://DC1/CN=";
    db->AddDirectoryObject(u"dc1", {base + u"Domain Admins", u"group", u"Domain Admins", u"", kDomainAdmins,
                                    {base + u"Printer", base + u"Tier0"}});
    db->AddDirectoryObject(u"dc1", {base + u"Printer", u"printQueue", u"Printer", u"", {}, {}});
    db->AddDirectoryObject(u"dc1", {base + u"Tier0", u"group", u"Tier0", u"", {}, {base + u"alice"}});
    db->AddDirectoryObject(u"dc1", {base + u"alice", u"user", u"alice", u"Alice A.", kAlice, {}});
    EXPECT_EQ(Check(kAlice), 1);
    EXPECT_TRUE(Logged("ADGSearchSID2() ->"));
    EXPECT_TRUE(Logged("*** NUNG-WARN (no-User-no-Group-Warning): Fullname=LDAP://DC1/CN=Printer"));
    EXPECT_TRUE(Logged("ADGCheckUserSID() <- (hr=S_OK)"));
    EXPECT_TRUE(Logged("ADGSearchSID2() <- (hr=S_OK)"));
    EXPECT_EQ(Check(kBob), 0) << "found nowhere in the directory";
    EXPECT_FALSE(Logged("NetGroupGetUsers() failed"));
}

TEST_F(AdminCheck, WithoutADirectoryTheDomainsGroupDatabaseIsAsked) {
    AddDomainAdmins();
    db->AddGroupUser(u"dc1", u"Domain Admins", u"alice");
    EXPECT_EQ(Check(kAlice), 1);
    EXPECT_TRUE(Logged("user 'alice' found in 'CORP\\Domain Admins'!"));

    db->FailHost(u"dc1", ERROR_ACCESS_DENIED);
    EXPECT_EQ(Check(kAlice), 0);
    EXPECT_TRUE(Logged("Error: NetGroupGetUsers() failed 5"));
    EXPECT_TRUE(Logged("Error 5: Access is denied."));
}

TEST_F(AdminCheck, LocalGroupsContainingEachOtherAreEnteredOnce) {
    db->AddAccount(u"", {u"PC1", u"GroupA", MakeSid(SECURITY_NT_AUTHORITY, {21, 9, 9, 9, 2001}), SidTypeAlias});
    db->AddAccount(u"", {u"PC1", u"GroupB", MakeSid(SECURITY_NT_AUTHORITY, {21, 9, 9, 9, 2002}), SidTypeAlias});
    db->AddLocalGroupMember(u"", u"Administratoren", u"PC1\\GroupA");
    db->AddLocalGroupMember(u"", u"GroupA", u"PC1\\GroupB");
    db->AddLocalGroupMember(u"", u"GroupB", u"PC1\\GroupA");
    db->SetDomainController(u"PC1", u"PC1");
    EXPECT_EQ(Check(kAlice), 0);
    const std::string log = Log();
    EXPECT_NE(log.find("preventing circulation: 'Administratoren/PC1\\GroupA/PC1\\GroupB/PC1\\GroupA'"),
              std::string::npos)
        << log;
    db->AddLocalGroupMember(u"", u"GroupB", u"CORP\\alice");
    EXPECT_EQ(Check(kAlice), 1);
}

TEST_F(AdminCheck, AMemberGroupWithoutDomainControllerEndsTheWalkWithAnError) {
    AddDomainAdmins();
    db->SetDomainController(u"CORP", u"");
    db->AddAccount(u"", {u"OTHER", u"Staff", MakeSid(SECURITY_NT_AUTHORITY, {21, 5, 5, 5, 513}), SidTypeGroup});
    db->AddLocalGroupMember(u"", u"Administratoren", u"OTHER\\Staff");
    EXPECT_EQ(Check(kAlice), -1);
    EXPECT_TRUE(Logged("NetGetDCName(0, OTHER, ...) failed, error 2453"));
}

TEST_F(AdminCheck, DirectoryGroupsContainingEachOtherDoNotLoopForever) {
    AddDomainAdmins();
    const std::u16string base = u"LDAP://DC1/CN=";
    db->AddDirectoryObject(u"dc1", {base + u"Domain Admins", u"group", u"Domain Admins", u"", {}, {base + u"Ring"}});
    db->AddDirectoryObject(u"dc1", {base + u"Ring", u"group", u"Ring", u"", {}, {base + u"Domain Admins"}});
    EXPECT_EQ(Check(kAlice), 0);
}

TEST(ConvertPSIDToString, TextFormsOfSids) {
    struct Case {
        std::vector<BYTE> sid;
        const char16_t* text;
    } cases[] = {
        {plat::security::AdministratorsSid(), u"S-1-5-32-544"},
        {MakeSid({{0, 0, 0x12, 0x34, 0x56, 0x78}}, {7}), u"S-1-305419896-7"},
        {MakeSid({{1, 2, 3, 4, 5, 6}}, {}), u"S-1-0x010203040506"},
    };
    for (const auto& c : cases) {
        WCHAR* text = CCheckAdminRights::ConvertPSIDToString(const_cast<BYTE*>(c.sid.data()));
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::u16string(text), c.text);
        delete[] text;
    }
    BYTE invalid[8] = {2, 0};
    EXPECT_EQ(CCheckAdminRights::ConvertPSIDToString(invalid), nullptr);
    EXPECT_EQ(CCheckAdminRights::ConvertPSIDToString(nullptr), nullptr);
}

}  // namespace
