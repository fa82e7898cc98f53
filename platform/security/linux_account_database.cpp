// Accounts of this Linux machine from the passwd and group databases.
// Users are S-1-22-1-uid in the computer's domain, groups S-1-22-2-gid as
// local groups (SidTypeAlias). BUILTIN\Administrators (S-1-5-32-544) holds
// root and the members of the sudo, wheel and admin groups. The machine is
// in no domain and serves no directory.
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <mutex>

#include "base/text.h"
#include "security/account_database.h"
#include "security/security_errors.h"

namespace plat::security {
namespace {

constexpr const char16_t* kBuiltin = u"BUILTIN";
constexpr const char16_t* kAdministrators = u"Administrators";
constexpr const char* kAdminGroups[] = {"sudo", "wheel", "admin"};

// getpwent/getgrent keep process-wide cursors.
std::mutex& EnumMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

void ForEachUser(const std::function<void(const passwd&)>& fn) {
    std::lock_guard lock(EnumMutex());
    setpwent();
    while (const passwd* pw = getpwent()) fn(*pw);
    endpwent();
}

void ForEachGroup(const std::function<void(const group&)>& fn) {
    std::lock_guard lock(EnumMutex());
    setgrent();
    while (const group* gr = getgrent()) fn(*gr);
    endgrent();
}

Account UserAccount(const std::u16string& domain, const std::string& name, uid_t uid) {
    return Account{domain, Utf8ToUtf16(name), UnixUserSid(uid), SidTypeUser};
}

Account GroupAccount(const std::u16string& domain, const std::string& name, gid_t gid) {
    return Account{domain, Utf8ToUtf16(name), UnixGroupSid(gid), SidTypeAlias};
}

Account AdministratorsAccount() { return Account{kBuiltin, kAdministrators, AdministratorsSid(), SidTypeAlias}; }

// One passwd or group record through its reentrant getter: its name and id.
template <typename Record, typename Id>
bool FindEntry(const std::function<int(Record*, char*, size_t, Record**)>& get, char* Record::*name_field,
               Id Record::*id_field, std::string* name, Id* id) {
    Record record{};
    Record* result = nullptr;
    std::vector<char> buf(65536);
    if (get(&record, buf.data(), buf.size(), &result) != 0 || !result) return false;
    *name = record.*name_field;
    *id = record.*id_field;
    return true;
}

bool FindUser(const std::function<int(passwd*, char*, size_t, passwd**)>& get, std::string* name, uid_t* uid) {
    return FindEntry<passwd, uid_t>(get, &passwd::pw_name, &passwd::pw_uid, name, uid);
}

bool FindGroup(const std::function<int(group*, char*, size_t, group**)>& get, std::string* name, gid_t* gid) {
    return FindEntry<group, gid_t>(get, &group::gr_name, &group::gr_gid, name, gid);
}

// Users of a Linux group: its listed members and the users whose primary
// group it is.
std::vector<std::string> GroupMemberNames(const std::string& group_name) {
    std::vector<std::string> names;
    gid_t gid = 0;
    bool found = false;
    ForEachGroup([&](const group& gr) {
        if (group_name != gr.gr_name) return;
        found = true;
        gid = gr.gr_gid;
        for (char** m = gr.gr_mem; m && *m; ++m) names.push_back(*m);
    });
    if (!found) return names;
    ForEachUser([&](const passwd& pw) {
        if (pw.pw_gid == gid) names.push_back(pw.pw_name);
    });
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

DWORD RemoteHostError() { return RPC_S_SERVER_UNAVAILABLE; }

class LinuxAccountDatabase final : public AccountDatabase {
public:
    std::u16string ComputerName() const override;
    SidBytes ProcessUserSid() const override;
    DWORD LookupSid(const std::u16string& host, const SidBytes& sid, Account* out) const override;
    DWORD LookupName(const std::u16string& host, const std::u16string& name, Account* out) const override;
    DWORD LocalGroups(const std::u16string& host, std::vector<std::u16string>* out) const override;
    DWORD LocalGroupMembers(const std::u16string& host, const std::u16string& group,
                            std::vector<Account>* out) const override;
    DWORD DomainController(const std::u16string& host, const std::u16string& domain,
                           std::u16string* out) const override;
    DWORD GroupUsers(const std::u16string& host, const std::u16string& group,
                     std::vector<std::u16string>* out) const override;
    HRESULT Directory(const std::u16string& host, std::vector<DirectoryObject>* out) const override;
};

}  // namespace

std::shared_ptr<AccountDatabase> MakeLinuxAccountDatabase() { return std::make_shared<LinuxAccountDatabase>(); }

std::u16string LinuxAccountDatabase::ComputerName() const {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::string name(host);
    name = name.substr(0, name.find('.')).substr(0, 15);
    return ToUpperAscii(Utf8ToUtf16(name));
}

SidBytes LinuxAccountDatabase::ProcessUserSid() const { return UnixUserSid(geteuid()); }

DWORD LinuxAccountDatabase::LookupSid(const std::u16string& host, const SidBytes& sid, Account* out) const {
    if (!host.empty()) return RemoteHostError();
    if (sid == AdministratorsSid()) {
        *out = AdministratorsAccount();
        return 0;
    }
    const auto subs = SidSubAuthorities(sid);
    if (SidAuthority(sid) != 22 || subs.size() != 2) return ERROR_NONE_MAPPED;
    std::string name;
    if (subs[0] == 1) {
        uid_t uid = 0;
        if (!FindUser([&](passwd* p, char* b, size_t n, passwd** r) { return getpwuid_r(subs[1], p, b, n, r); },
                      &name, &uid))
            return ERROR_NONE_MAPPED;
        *out = UserAccount(ComputerName(), name, uid);
        return 0;
    }
    gid_t gid = 0;
    if (subs[0] != 2 ||
        !FindGroup([&](group* g, char* b, size_t n, group** r) { return getgrgid_r(subs[1], g, b, n, r); }, &name,
                   &gid))
        return ERROR_NONE_MAPPED;
    *out = GroupAccount(ComputerName(), name, gid);
    return 0;
}

DWORD LinuxAccountDatabase::LookupName(const std::u16string& host, const std::u16string& full_name,
                                       Account* out) const {
    if (!host.empty()) return RemoteHostError();
    const auto [domain, name] = SplitAccountName(full_name);
    if ((domain.empty() || EqualsNoCase(domain, kBuiltin)) && EqualsNoCase(name, kAdministrators)) {
        *out = AdministratorsAccount();
        return 0;
    }
    if (!domain.empty() && !EqualsNoCase(domain, ComputerName())) return ERROR_NONE_MAPPED;
    const std::string utf8 = Utf16ToUtf8(name);
    std::string found;
    uid_t uid = 0;
    if (FindUser([&](passwd* p, char* b, size_t n, passwd** r) { return getpwnam_r(utf8.c_str(), p, b, n, r); },
                 &found, &uid)) {
        *out = UserAccount(ComputerName(), found, uid);
        return 0;
    }
    gid_t gid = 0;
    if (FindGroup([&](group* g, char* b, size_t n, group** r) { return getgrnam_r(utf8.c_str(), g, b, n, r); },
                  &found, &gid)) {
        *out = GroupAccount(ComputerName(), found, gid);
        return 0;
    }
    return ERROR_NONE_MAPPED;
}

DWORD LinuxAccountDatabase::LocalGroups(const std::u16string& host, std::vector<std::u16string>* out) const {
    if (!host.empty()) return RemoteHostError();
    out->assign(1, kAdministrators);
    ForEachGroup([&](const group& gr) { out->push_back(Utf8ToUtf16(gr.gr_name)); });
    return 0;
}

DWORD LinuxAccountDatabase::LocalGroupMembers(const std::u16string& host, const std::u16string& group_name,
                                              std::vector<Account>* out) const {
    if (!host.empty()) return RemoteHostError();
    std::vector<std::string> names;
    if (EqualsNoCase(group_name, kAdministrators) || EqualsNoCase(group_name, u"BUILTIN\\Administrators")) {
        names.push_back("root");
        for (const char* g : kAdminGroups)
            for (auto& n : GroupMemberNames(g)) names.push_back(std::move(n));
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
    } else {
        Account group_account;
        if (LookupName(host, group_name, &group_account) != 0 || group_account.use != SidTypeAlias)
            return ERROR_NO_SUCH_ALIAS;
        names = GroupMemberNames(Utf16ToUtf8(group_account.name));
    }
    out->clear();
    for (const auto& n : names) {
        Account a;
        if (LookupName(u"", Utf8ToUtf16(n), &a) == 0) out->push_back(std::move(a));
    }
    return 0;
}

DWORD LinuxAccountDatabase::DomainController(const std::u16string&, const std::u16string&, std::u16string*) const {
    return NERR_DCNotFound;
}

DWORD LinuxAccountDatabase::GroupUsers(const std::u16string& host, const std::u16string&,
                                       std::vector<std::u16string>*) const {
    return host.empty() ? NERR_GroupNotFound : RemoteHostError();
}

HRESULT LinuxAccountDatabase::Directory(const std::u16string& host, std::vector<DirectoryObject>*) const {
    return HRESULT_FROM_WIN32(host.empty() ? ERROR_NO_SUCH_DOMAIN : RemoteHostError());
}

}  // namespace plat::security
