#include "base/text.h"
#include "security/account_database.h"
#include "security/security_errors.h"

namespace plat::security {
namespace {

bool SameName(const Account& a, const std::u16string& domain, const std::u16string& name) {
    return EqualsNoCase(a.name, name) && (domain.empty() || EqualsNoCase(a.domain, domain));
}

}  // namespace

MemoryAccountDatabase::MemoryAccountDatabase(std::u16string computer_name, SidBytes process_user)
    : m_computerName(std::move(computer_name)), m_processUser(std::move(process_user)) {}

MemoryAccountDatabase::Host& MemoryAccountDatabase::HostFor(const std::u16string& host) {
    return m_hosts[ToUpperAscii(host)];
}

const MemoryAccountDatabase::Host* MemoryAccountDatabase::FindHost(const std::u16string& host, DWORD* error) const {
    const auto it = m_hosts.find(ToUpperAscii(host));
    if (it == m_hosts.end()) {
        *error = host.empty() ? ERROR_NONE_MAPPED : RPC_S_SERVER_UNAVAILABLE;
        return nullptr;
    }
    *error = it->second.failure;
    return *error ? nullptr : &it->second;
}

void MemoryAccountDatabase::AddAccount(const std::u16string& host, Account account) {
    std::lock_guard lock(m_mutex);
    HostFor(host).accounts.push_back(std::move(account));
}

void MemoryAccountDatabase::AddLocalGroupMember(const std::u16string& host, const std::u16string& group,
                                                const std::u16string& member) {
    std::lock_guard lock(m_mutex);
    auto& groups = HostFor(host).localGroups;
    for (auto& [name, members] : groups) {
        if (EqualsNoCase(name, group)) {
            if (!member.empty()) members.push_back(member);
            return;
        }
    }
    groups.push_back({group, member.empty() ? std::vector<std::u16string>{} : std::vector{member}});
}

void MemoryAccountDatabase::SetDomainController(const std::u16string& domain, const std::u16string& dc) {
    std::lock_guard lock(m_mutex);
    m_domainControllers[ToUpperAscii(domain)] = dc;
}

void MemoryAccountDatabase::AddGroupUser(const std::u16string& host, const std::u16string& group,
                                         const std::u16string& user) {
    std::lock_guard lock(m_mutex);
    HostFor(host).groupUsers[ToUpperAscii(group)].push_back(user);
}

void MemoryAccountDatabase::AddDirectoryObject(const std::u16string& host, DirectoryObject object) {
    std::lock_guard lock(m_mutex);
    HostFor(host).directory.push_back(std::move(object));
}

void MemoryAccountDatabase::FailHost(const std::u16string& host, DWORD error) {
    std::lock_guard lock(m_mutex);
    HostFor(host).failure = error;
}

DWORD MemoryAccountDatabase::LookupSid(const std::u16string& host, const SidBytes& sid, Account* out) const {
    std::lock_guard lock(m_mutex);
    DWORD error = 0;
    const Host* h = FindHost(host, &error);
    if (!h) return error;
    for (const auto& a : h->accounts) {
        if (a.sid == sid) {
            *out = a;
            return 0;
        }
    }
    return ERROR_NONE_MAPPED;
}

DWORD MemoryAccountDatabase::LookupName(const std::u16string& host, const std::u16string& name, Account* out) const {
    std::lock_guard lock(m_mutex);
    DWORD error = 0;
    const Host* h = FindHost(host, &error);
    if (!h) return error;
    const auto [domain, user] = SplitAccountName(name);
    for (const auto& a : h->accounts) {
        if (SameName(a, domain, user)) {
            *out = a;
            return 0;
        }
    }
    return ERROR_NONE_MAPPED;
}

DWORD MemoryAccountDatabase::LocalGroups(const std::u16string& host, std::vector<std::u16string>* out) const {
    std::lock_guard lock(m_mutex);
    DWORD error = 0;
    const Host* h = FindHost(host, &error);
    if (!h) return error;
    out->clear();
    for (const auto& g : h->localGroups) out->push_back(g.first);
    return 0;
}

DWORD MemoryAccountDatabase::LocalGroupMembers(const std::u16string& host, const std::u16string& group,
                                               std::vector<Account>* out) const {
    std::lock_guard lock(m_mutex);
    DWORD error = 0;
    const Host* h = FindHost(host, &error);
    if (!h) return error;
    const std::u16string wanted = SplitAccountName(group).second;
    for (const auto& [name, members] : h->localGroups) {
        if (!EqualsNoCase(name, wanted)) continue;
        out->clear();
        for (const auto& m : members) {
            const auto [domain, user] = SplitAccountName(m);
            for (const auto& a : h->accounts)
                if (SameName(a, domain, user)) out->push_back(a);
        }
        return 0;
    }
    return ERROR_NO_SUCH_ALIAS;
}

DWORD MemoryAccountDatabase::DomainController(const std::u16string&, const std::u16string& domain,
                                              std::u16string* out) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_domainControllers.find(ToUpperAscii(domain));
    if (it == m_domainControllers.end()) return NERR_DCNotFound;
    *out = it->second;
    return 0;
}

DWORD MemoryAccountDatabase::GroupUsers(const std::u16string& host, const std::u16string& group,
                                        std::vector<std::u16string>* out) const {
    std::lock_guard lock(m_mutex);
    DWORD error = 0;
    const Host* h = FindHost(host, &error);
    if (!h) return error == ERROR_NONE_MAPPED ? NERR_GroupNotFound : error;
    const auto it = h->groupUsers.find(ToUpperAscii(group));
    if (it == h->groupUsers.end()) return NERR_GroupNotFound;
    *out = it->second;
    return 0;
}

HRESULT MemoryAccountDatabase::Directory(const std::u16string& host, std::vector<DirectoryObject>* out) const {
    std::lock_guard lock(m_mutex);
    DWORD error = 0;
    const Host* h = FindHost(host, &error);
    if (!h) return HRESULT_FROM_WIN32(error == ERROR_NONE_MAPPED ? ERROR_NO_SUCH_DOMAIN : error);
    if (h->directory.empty()) return HRESULT_FROM_WIN32(ERROR_NO_SUCH_DOMAIN);
    *out = h->directory;
    return S_OK;
}

}  // namespace plat::security
