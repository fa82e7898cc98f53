// The account and directory database behind the security calls. The real
// one (MakeLinuxAccountDatabase) reads the passwd and group databases and has no
// domain and no directory; MemoryAccountDatabase is filled by tests with
// accounts, local groups, domains and directory objects on any host names.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/scoped_install.h"
#include "security/sid.h"

namespace plat::security {

struct Account {
    std::u16string domain;
    std::u16string name;
    SidBytes sid;
    SID_NAME_USE use = SidTypeUser;
};

// An object of a directory: a user ("user"), a group ("group", with the
// paths of its members) or anything else.
struct DirectoryObject {
    std::u16string path;  // the ADsPath, "LDAP://..."
    std::u16string objectClass;
    std::u16string name;  // common name
    std::u16string fullName;
    SidBytes sid;
    std::vector<std::u16string> members;
};

// Every call returns a Win32/network error code (0 on success) or, for the
// directory, an HRESULT. `host` is "" for this machine; the calls above the
// database normalise "localhost", "\\NAME" and this computer's name to "".
class AccountDatabase {
public:
    virtual ~AccountDatabase() = default;
    virtual std::u16string ComputerName() const = 0;
    virtual SidBytes ProcessUserSid() const = 0;
    virtual DWORD LookupSid(const std::u16string& host, const SidBytes& sid, Account* out) const = 0;
    // `name` is "name" or "DOMAIN\name".
    virtual DWORD LookupName(const std::u16string& host, const std::u16string& name, Account* out) const = 0;
    virtual DWORD LocalGroups(const std::u16string& host, std::vector<std::u16string>* out) const = 0;
    virtual DWORD LocalGroupMembers(const std::u16string& host, const std::u16string& group,
                                    std::vector<Account>* out) const = 0;
    virtual DWORD DomainController(const std::u16string& host, const std::u16string& domain,
                                   std::u16string* out) const = 0;
    virtual DWORD GroupUsers(const std::u16string& host, const std::u16string& group,
                             std::vector<std::u16string>* out) const = 0;
    // The directory served by `host` (its objects), or an error HRESULT.
    virtual HRESULT Directory(const std::u16string& host, std::vector<DirectoryObject>* out) const = 0;
};

// The database of this Linux machine (passwd and group; no domain, no
// directory).
std::shared_ptr<AccountDatabase> MakeLinuxAccountDatabase();

// Hosts are compared without regard to case; "" is this machine.
class MemoryAccountDatabase final : public AccountDatabase {
public:
    explicit MemoryAccountDatabase(std::u16string computer_name, SidBytes process_user);

    void AddAccount(const std::u16string& host, Account account);
    // `member` is "DOMAIN\name" of an account known on the same host.
    void AddLocalGroupMember(const std::u16string& host, const std::u16string& group, const std::u16string& member);
    void SetDomainController(const std::u16string& domain, const std::u16string& dc);
    void AddGroupUser(const std::u16string& host, const std::u16string& group, const std::u16string& user);
    void AddDirectoryObject(const std::u16string& host, DirectoryObject object);
    // Every look-up on `host` fails with `error` (for example an unreachable
    // server); the directory of the host fails with HRESULT_FROM_WIN32(error).
    void FailHost(const std::u16string& host, DWORD error);

    std::u16string ComputerName() const override { return m_computerName; }
    SidBytes ProcessUserSid() const override { return m_processUser; }
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

private:
    struct Host {
        std::vector<Account> accounts;
        std::vector<std::pair<std::u16string, std::vector<std::u16string>>> localGroups;
        std::map<std::u16string, std::vector<std::u16string>> groupUsers;
        std::vector<DirectoryObject> directory;
        DWORD failure = 0;
    };
    const Host* FindHost(const std::u16string& host, DWORD* error) const;
    Host& HostFor(const std::u16string& host);

    std::u16string m_computerName;
    SidBytes m_processUser;
    std::map<std::u16string, Host> m_hosts;  // keyed by upper-case name
    std::map<std::u16string, std::u16string> m_domainControllers;
    mutable std::mutex m_mutex;
};

// The database in force (the Linux one unless a test installed another).
AccountDatabase& CurrentAccountDatabase();
std::shared_ptr<AccountDatabase> InstallAccountDatabase(std::shared_ptr<AccountDatabase> db);

using ScopedAccountDatabase = ScopedInstall<std::shared_ptr<AccountDatabase>, &InstallAccountDatabase>;

// "" for this machine, else the host's name without leading backslashes.
std::u16string NormalizeHost(const WCHAR* host);
// Splits "DOMAIN\name" (domain empty when there is no backslash).
std::pair<std::u16string, std::u16string> SplitAccountName(const std::u16string& name);

}  // namespace plat::security
