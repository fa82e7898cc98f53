#include "security/CheckAdminRights.h"

#include <cstring>

#include "base/last_error.h"
#include "base/text.h"
#include "base/win_errors.h"
#include "security/GocTrace.h"
#include "security/account_database.h"
#include "security/accounts.h"
#include "security/netapi.h"
#include "sockets/SocketManager.h"

namespace {

constexpr std::size_t kMaxPath = 1000;

constexpr const char* kTypeNames[] = {"none",           "SidTypeUser",           "SidTypeGroup",
                                      "SidTypeDomain",  "SidTypeAlias",          "SidTypeWellKnownGroup",
                                      "SidTypeDeletedAccount", "SidTypeInvalid", "SidTypeUnknown",
                                      "SidTypeComputer"};

const char* TypeName(int use) { return use >= 0 && use <= 9 ? kTypeNames[use] : "none"; }

std::u16string Indent(int depth) { return std::u16string(3 * static_cast<std::size_t>(depth), u' '); }

const char* NetErrorText(DWORD error) {
    switch (error) {
        case 5: return "Error 5: Access is denied.";
        case 53: return "Error 53: The network path was not found.";
        case 2220: return "Error 2220: The group name could not be found.";
        default: return nullptr;
    }
}

// The name after the backslash; a name without one is taken whole.
std::u16string ShortName(const std::u16string& name) {
    const auto slash = name.rfind(u'\\');
    return slash == std::u16string::npos ? name : name.substr(slash + 1);
}

// Net* buffers, freed with NetApiBufferFree.
template <typename T>
struct NetBuffer {
    BYTE* raw = nullptr;
    DWORD read = 0;
    DWORD total = 0;
    ~NetBuffer() { NetApiBufferFree(raw); }
    const T& operator[](DWORD i) const { return reinterpret_cast<const T*>(raw)[i]; }
};

const WCHAR* HostArg(const std::u16string& host) { return host.empty() ? nullptr : host.c_str(); }

// The parent the "GOC" log forwards to now.
CLog*& Attached() {
    static CLog* parent = nullptr;
    return parent;
}

}  // namespace

CLog& CCheckAdminRights::GocLog() {
    static auto* log = new CLog;
    return *log;
}

CCheckAdminRights::CCheckAdminRights(CLog* parent) {
    AllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                             0, 0, 0, &m_pAdminSid);
    WCHAR name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD chars = MAX_COMPUTERNAME_LENGTH + 1;
    if (GetComputerNameW(name, &chars)) m_computerName = name;
    CLog& log = GocLog();
    log.Init(u"GOC", FALSE, logging::kLevelAlways, TRUE);
    m_pParent = parent;
    log.SetParent(parent);
    Attached() = parent;
    SetADGLog(&log);
    GocTrace(&log, "log initialized");
    GocTrace(&log, "secsys version: %s.%s.%s", "4", "5", "2603");
}

CCheckAdminRights::~CCheckAdminRights() {
    FreeSid(m_pAdminSid);
    if (m_pParent && Attached() == m_pParent) {
        GocLog().SetParent(nullptr);
        Attached() = nullptr;
    }
}

WCHAR* CCheckAdminRights::ConvertPSIDToString(PSID sid) {
    if (!IsValidSid(sid)) {
        GocTrace(&GocLog(), "ConvertPSIDToString(): IsValidSid() failed.");
        return nullptr;
    }
    const BYTE* a = GetSidIdentifierAuthority(sid)->Value;
    std::u16string text = u"S-1-";
    if (a[0] != 0 || a[1] != 0) {
        text += plat::Format(u"0x%02hx%02hx%02hx%02hx%02hx%02hx", a[0], a[1], a[2], a[3], a[4], a[5]);
    } else {
        const DWORD value = DWORD(a[2]) << 24 | DWORD(a[3]) << 16 | DWORD(a[4]) << 8 | a[5];
        text += plat::Format(u"%lu", value);
    }
    for (DWORD i = 0; i < *GetSidSubAuthorityCount(sid); ++i) text += plat::Format(u"-%lu", *GetSidSubAuthority(sid, i));
    auto* out = new WCHAR[text.size() + 1];
    std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    return out;
}

std::u16string CCheckAdminRights::SidText(const void* sid) {
    WCHAR* text = ConvertPSIDToString(const_cast<void*>(sid));
    std::u16string result = text ? text : u"";
    delete[] text;
    return result;
}

int CCheckAdminRights::AdminRights(const WCHAR* host, PSID user_sid) {
    CLog* log = &GocLog();
    const std::u16string h = host ? host : u"";
    GocTrace(log, "AdminRights(host = '%s', pusersid = 0x%x)", h, reinterpret_cast<std::uintptr_t>(user_sid));
    std::vector<BYTE> own;
    if (!user_sid) {
        GocTrace(log, "Check(): psidUser == NULL -> retrieving SID");
        DWORD length = 0;
        PSID sid = nullptr;
        if (CSocketManager::QueryUserSID(&length, &sid) != S_OK) return -1;
        own.assign(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + length);
        std::free(sid);
        user_sid = own.data();
    }
    m_visited.clear();
    GocTrace(log, "User-SID = %s", SidText(user_sid));
    const int result = SearchGroup(h, u"", user_sid, 0, u"", 0);
    GocTrace(log, "Check() returns %i", result);
    return result;
}

bool CCheckAdminRights::Resolve(const std::u16string& host, const std::u16string& name, Resolved* out) {
    const WCHAR* system = plat::EqualsNoCase(host, u"localhost") ? nullptr : HostArg(host);
    DWORD sid_bytes = 0, domain_chars = 0;
    SID_NAME_USE use{};
    LookupAccountNameW(system, name.c_str(), nullptr, &sid_bytes, nullptr, &domain_chars, &use);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    out->sid.assign(sid_bytes, 0);
    std::u16string domain(domain_chars, u'\0');
    if (!LookupAccountNameW(system, name.c_str(), out->sid.data(), &sid_bytes, domain.data(), &domain_chars, &use))
        return false;
    out->domain = domain.c_str();
    out->use = use;
    return true;
}

bool CCheckAdminRights::Visited(const std::u16string& name) {
    for (const auto& v : m_visited)
        if (plat::EqualsNoCase(v, name)) return true;
    m_visited.push_back(name);
    return false;
}

int CCheckAdminRights::SearchGroup(const std::u16string& host, const std::u16string& group, PSID user_sid, int use,
                                   const std::u16string& path, int depth) {
    CLog* log = &GocLog();
    GocTrace(log, "%sSearchGroup(host=%s, groupname=%s, pusersid=%s, use=%i, path=%s)", Indent(depth), host, group,
             user_sid ? SidText(user_sid) : u"", use, path);
    if (!user_sid) {
        GocTrace(log, "%spusersid is NULL", Indent(depth));
        return -1;
    }
    if (group.empty()) return SearchRoot(host, user_sid, depth);
    if (use == SidTypeAlias) return SearchLocalGroup(host, group, user_sid, path, depth);
    if (use == SidTypeGroup) return SearchDomainGroup(host, group, user_sid, path, depth);
    return 0;
}

int CCheckAdminRights::SearchRoot(const std::u16string& host, PSID user_sid, int depth) {
    CLog* log = &GocLog();
    const std::u16string in = Indent(depth);
    GocTrace(log, "%slooking for BUILTIN_LocalAdmins group SID=%s", in, SidText(m_pAdminSid));
    NetBuffer<LOCALGROUP_INFO_0> groups;
    const DWORD error =
        NetLocalGroupEnum(HostArg(host), 0, &groups.raw, MAX_PREFERRED_LENGTH, &groups.read, &groups.total, nullptr);
    if (error) {
        GocTrace(log, "%sNetLocalGroupEnum() failed, error %i", in, error);
        return -1;
    }
    GocTrace(log, "%s%i element(s) found in 'root' %s", in, groups.read, host);
    for (DWORD i = 0; i < groups.read; ++i) {
        const std::u16string name = groups[i].lgrpi0_name;
        Resolved r;
        if (!Resolve(host, name, &r)) continue;
        GocTrace(log, "%s %i: lookup '%s' in Domain '%s' from '%s' [Type=%s] SID = '%s'", in, i, name, r.domain, host,
                 TypeName(r.use), SidText(r.sid.data()));
        if (EqualSid(r.sid.data(), m_pAdminSid)) {
            GocTrace(log, "%sBUILTIN_LocalAdmins group found", in);
            return SearchGroup(host, name, user_sid, r.use, name, depth + 1);
        }
    }
    return 0;
}

int CCheckAdminRights::SearchLocalGroup(const std::u16string& host, const std::u16string& group, PSID user_sid,
                                        const std::u16string& path, int depth) {
    CLog* log = &GocLog();
    const std::u16string in = Indent(depth);
    NetBuffer<LOCALGROUP_MEMBERS_INFO_2> members;
    const DWORD error = NetLocalGroupGetMembers(HostArg(host), group.c_str(), 2, &members.raw, MAX_PREFERRED_LENGTH,
                                                &members.read, &members.total, nullptr);
    if (error) {
        GocTrace(log, "%sNetLocalGroupGetMembers() failed, error %i", in, error);
        return -1;
    }
    GocTrace(log, "%s%i element(s) found in %s", in, members.read, path);
    const std::u16string lookup_host = host.empty() ? m_computerName : host;
    std::vector<Resolved> resolved(members.read);
    for (DWORD i = 0; i < members.read; ++i) {
        // The record's own SID and type stand when the name cannot be resolved.
        if (!Resolve(lookup_host, members[i].lgrmi2_domainandname, &resolved[i])) {
            resolved[i].sid = *plat::security::SidFromPointer(members[i].lgrmi2_sid);
            resolved[i].use = members[i].lgrmi2_sidusage;
            resolved[i].domain = plat::security::SplitAccountName(members[i].lgrmi2_domainandname).first;
        }
    }
    auto trace = [&](DWORD i) {
        GocTrace(log, "%s %i: lookup '%s/%s' in Domain '%s' from '%s' [Type=%s] SID = '%s'", in, i, path,
                 std::u16string(members[i].lgrmi2_domainandname), resolved[i].domain, lookup_host,
                 TypeName(resolved[i].use), SidText(resolved[i].sid.data()));
    };
    for (DWORD i = 0; i < members.read; ++i) {
        if (resolved[i].use != SidTypeUser) continue;
        trace(i);
        if (EqualSid(resolved[i].sid.data(), user_sid)) {
            GocTrace(log, "%suser found!", in);
            return 1;
        }
    }
    for (DWORD i = 0; i < members.read; ++i) {
        if (resolved[i].use != SidTypeGroup && resolved[i].use != SidTypeAlias) continue;
        trace(i);
        const std::u16string member = members[i].lgrmi2_domainandname;
        BYTE* dc_raw = nullptr;
        const DWORD dc_error = NetGetDCName(nullptr, resolved[i].domain.c_str(), &dc_raw);
        if (dc_error) {
            GocTrace(log, "%sNetGetDCName(0, %s, ...) failed, error %i", in, resolved[i].domain, dc_error);
            return -1;
        }
        const std::u16string dc = reinterpret_cast<WCHAR*>(dc_raw);
        NetApiBufferFree(dc_raw);
        const std::u16string new_path = (path.empty() ? member : path + u"/" + member).substr(0, kMaxPath);
        if (Visited(member)) {
            GocTrace(log, "%spreventing circulation: '%s/%s' in Domain '%s' from '%s'", in, path, member,
                     resolved[i].domain, lookup_host);
            continue;
        }
        if (SearchGroup(dc, member, user_sid, resolved[i].use, new_path, depth + 1) == 1) return 1;
    }
    return 0;
}

int CCheckAdminRights::SearchDomainGroup(const std::u16string& host, const std::u16string& group, PSID user_sid,
                                         const std::u16string& path, int depth) {
    CLog* log = &GocLog();
    const std::u16string in = Indent(depth);
    GocTrace(log,
             "%sNetGroupGetUsers(host = %s, groupname = %s, 0, &pbuffer, MAX_PREFERRED_LENGTH, &dwRead, &dwTotal, "
             "&handle)",
             in, host, group);
    const std::u16string name = ShortName(group);
    const HRESULT hr = ADGSearchSID2(HostArg(host), user_sid, name.c_str());
    if (hr == S_OK) return 1;
    if (hr == S_FALSE) return 0;
    NetBuffer<GROUP_USERS_INFO_0> users;
    const DWORD error =
        NetGroupGetUsers(HostArg(host), name.c_str(), 0, &users.raw, MAX_PREFERRED_LENGTH, &users.read, &users.total, nullptr);
    if (error) {
        GocTrace(log, "%sError: NetGroupGetUsers() failed %i", in, error);
        if (const char* text = NetErrorText(error)) GocTrace(log, "%s%s", in, text);
        return 0;
    }
    GocTrace(log, "%s%i element(s) found in %s", in, users.read, path);
    for (DWORD i = 0; i < users.read; ++i) {
        const std::u16string user = users[i].grui0_name;
        Resolved r;
        if (!Resolve(host, user, &r)) continue;
        GocTrace(log, "%s %i: lookup '%s/%s' in Domain '%s' from '%s' [Type=%s] SID = '%s'", in, i, path, user,
                 r.domain, host, TypeName(r.use), SidText(r.sid.data()));
        if (EqualSid(r.sid.data(), user_sid)) {
            GocTrace(log, "%suser '%s' found in '%s'!", in, user, group);
            return 1;
        }
    }
    return 0;
}

std::u16string FindAdministratorsGroup(const std::u16string& host) {
    NetBuffer<LOCALGROUP_INFO_0> groups;
    if (NetLocalGroupEnum(HostArg(host), 0, &groups.raw, MAX_PREFERRED_LENGTH, &groups.read, &groups.total, nullptr))
        return {};
    const auto admins = plat::security::AdministratorsSid();
    for (DWORD i = 0; i < groups.read; ++i) {
        std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
        DWORD sid_bytes = SECURITY_MAX_SID_SIZE, domain_chars = 256;
        WCHAR domain[256];
        SID_NAME_USE use{};
        if (LookupAccountNameW(HostArg(host), groups[i].lgrpi0_name, sid.data(), &sid_bytes, domain, &domain_chars, &use) &&
            EqualSid(sid.data(), const_cast<BYTE*>(admins.data())))
            return groups[i].lgrpi0_name;
    }
    return {};
}
