// The directory side of the access-rights check: search the directory of a
// domain controller for a group by name and walk its members.
#include <atomic>
#include <set>

#include "base/text.h"
#include "security/CheckAdminRights.h"
#include "security/GocTrace.h"
#include "security/netapi.h"
#include "security/security_errors.h"

namespace {

std::atomic<CLog*> g_adgLog{nullptr};
constexpr int kMaxRows = 1 << 16;
constexpr int kMaxMembers = 1 << 16;
// Directory groups may contain each other; a group already entered in one
// walk is not entered again, and the nesting depth is bounded.
constexpr std::size_t kMaxNesting = 64;

// Entry and exit lines of one ADG function.
class Step {
public:
    explicit Step(const char* name) : m_name(name) { GocTrace(ADGLog(), "%s() ->", m_name); }
    ~Step() { GocTrace(ADGLog(), "%s() <- (hr=%s)", m_name, HResultName(m_hr)); }
    HRESULT operator()(HRESULT hr) { return m_hr = hr; }

private:
    const char* m_name;
    HRESULT m_hr = E_FAIL;
};

template <typename T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p) p->Release();
    }
    void** out() { return reinterpret_cast<void**>(&p); }
};

std::u16string SidText(PSID sid) {
    WCHAR* text = CCheckAdminRights::ConvertPSIDToString(sid);
    std::u16string result = text ? text : u"";
    delete[] text;
    return result;
}

HRESULT CheckMembers(PSID user_sid, IADsGroup* group, std::set<std::u16string>& entered);

HRESULT CheckMember(PSID user_sid, IUnknown* member, std::set<std::u16string>& entered) {
    ComPtr<IADsUser> user;
    if (member->QueryInterface(IID_IADsUser, user.out()) == S_OK) return ADGCheckUserSID(user_sid, user.p);
    ComPtr<IADsGroup> group;
    if (member->QueryInterface(IID_IADsGroup, group.out()) == S_OK) return CheckMembers(user_sid, group.p, entered);
    ComPtr<IADs> other;
    if (member->QueryInterface(IID_IADs, other.out()) != S_OK) {
        GocTrace(ADGLog(), "*** NUNG-WARN (no-User-no-Group-Warning): no further informations available ***");
        return S_FALSE;
    }
    std::u16string path, name, cls;
    other.p->get_ADsPath(&path);
    other.p->get_Name(&name);
    other.p->get_Class(&cls);
    GocTrace(ADGLog(), "*** NUNG-WARN (no-User-no-Group-Warning): Fullname=%s, CommonName=%s, Class=%s ***", path,
             name, cls);
    return S_FALSE;
}

HRESULT CheckMembers(PSID user_sid, IADsGroup* group, std::set<std::u16string>& entered) {
    Step step("ADGCheckMember");
    std::u16string path;
    group->get_ADsPath(&path);
    if (!entered.insert(plat::ToUpperAscii(path)).second || entered.size() > kMaxNesting) return step(S_FALSE);
    ComPtr<IADsMembers> members;
    if (FAILED(group->Members(&members.p)) || !members.p) return step(S_FALSE);
    ComPtr<IUnknown> unknown;
    if (FAILED(members.p->get__NewEnum(&unknown.p)) || !unknown.p) return step(S_FALSE);
    ComPtr<IEnumVARIANT> e;
    const HRESULT qi = unknown.p->QueryInterface(IID_IEnumVARIANT, e.out());
    if (FAILED(qi)) {
        GocTrace(ADGLog(), "pUnk->QueryInterface(IID_IEnumVARIANT) failed 0x%x", qi);
        return step(E_FAIL);
    }
    for (int i = 0; i < kMaxMembers; ++i) {
        VARIANT v;
        ULONG fetched = 0;
        if (ADsEnumerateNext(e.p, 1, &v, &fetched) != S_OK || fetched != 1) break;
        const HRESULT hr = v.pdispVal ? CheckMember(user_sid, v.pdispVal, entered) : S_FALSE;
        VariantClear(&v);
        if (hr == S_OK) return step(S_OK);
    }
    return step(S_FALSE);
}

}  // namespace

CLog* ADGLog() { return g_adgLog.load(); }
void SetADGLog(CLog* log) { g_adgLog.store(log); }

std::string HResultName(HRESULT hr) {
    if (hr == S_OK) return "S_OK";
    if (hr == S_FALSE) return "S_FALSE";
    if (hr == E_FAIL) return "E_FAIL";
    return plat::Format("0x%x", static_cast<DWORD>(hr));
}

HRESULT ADGSearchSID2(const WCHAR* host, PSID user_sid, const WCHAR* group) {
    Step step("ADGSearchSID2");
    if (!user_sid) return step(E_FAIL);
    std::u16string target = host ? host : u"";
    if (!host) {
        BYTE* dc = nullptr;
        const DWORD error = NetGetDCName(nullptr, nullptr, &dc);
        if (error) {
            GocTrace(ADGLog(), "NetGetDCName() failed, error %i", error);
            return step(E_FAIL);
        }
        target = reinterpret_cast<WCHAR*>(dc);
        NetApiBufferFree(dc);
    }
    std::vector<std::u16string> groups;
    if (group) groups.push_back(group);
    else if (auto admins = FindAdministratorsGroup(target); !admins.empty()) groups.push_back(admins);
    if (groups.empty()) return step(S_FALSE);
    return step(ADGSearchSID1(target, user_sid, groups));
}

HRESULT ADGSearchSID1(const std::u16string& host, PSID user_sid, const std::vector<std::u16string>& groups) {
    Step step("ADGSearchSID1");
    CoInitialize(nullptr);
    GocTrace(ADGLog(), "Host=%s", host);
    GocTrace(ADGLog(), "SID=%s", SidText(user_sid));
    ComPtr<IADs> root;
    HRESULT result = ADGBindToHost(host, &root.p);
    if (FAILED(result)) {
        result = E_FAIL;
    } else {
        result = S_FALSE;
        for (const auto& g : groups)
            if (ADGSearchGroup(root.p, user_sid, g) == S_OK) {
                result = S_OK;
                break;
            }
    }
    if (root.p) root.p->Release();  // before COM goes
    root.p = nullptr;
    CoUninitialize();
    return step(result);
}

HRESULT ADGBindToHost(const std::u16string& host, IADs** out) {
    Step step("ADGBindToHost");
    GocTrace(ADGLog(), "Host = %s", host);
    std::u16string name = host;
    if (name.rfind(u"\\\\", 0) == 0) name.erase(0, 2);
    return step(ADGBindToADObject(u"LDAP://" + name, out));
}

HRESULT ADGBindToADObject(const std::u16string& path, IADs** out) {
    Step step("ADGBindToADObject");
    const HRESULT hr = ADsGetObject(path.c_str(), IID_IADs, reinterpret_cast<void**>(out));
    if (FAILED(hr)) GocTrace(ADGLog(), "ADsGetObject(%s) failed 0x%x", path, hr);
    return step(hr);
}

HRESULT ADGSearchGroup(IADs* host, PSID user_sid, const std::u16string& group) {
    Step step("ADGSearchGroup");
    ComPtr<IDirectorySearch> search;
    HRESULT hr = host->QueryInterface(IID_IDirectorySearch, search.out());
    if (FAILED(hr)) {
        GocTrace(ADGLog(), "pADs->QueryInterface(IID_IDirectorySearch) failed 0x%x", hr);
        return step(hr);
    }
    const std::u16string filter = u"cn=" + group;
    const WCHAR* attributes[] = {u"ADsPath"};
    ADS_SEARCH_HANDLE handle = nullptr;
    hr = search.p->ExecuteSearch(filter.c_str(), attributes, 1, &handle);
    if (FAILED(hr)) {
        GocTrace(ADGLog(), "pSearch->ExecuteSearch(%s, ...) failed 0x%x", filter, hr);
        return step(hr);
    }
    HRESULT result = S_FALSE;
    for (int row = 0; row < kMaxRows; ++row) {
        hr = search.p->GetNextRow(handle);
        if (hr == S_ADS_NOMORE_ROWS) {
            DWORD error = 0;
            ADsGetLastError(&error, nullptr, 0, nullptr, 0);
            if (error == ERROR_MORE_DATA) continue;  // the server is still sending
            break;
        }
        if (FAILED(hr)) break;
        if (ADGSearchColumn(search.p, handle, user_sid) == S_OK) {
            result = S_OK;
            break;
        }
    }
    search.p->CloseSearchHandle(handle);
    return step(result);
}

HRESULT ADGSearchColumn(IDirectorySearch* search, ADS_SEARCH_HANDLE handle, PSID user_sid) {
    Step step("ADGSearchColumn");
    ADS_SEARCH_COLUMN column;
    if (FAILED(search->GetColumn(handle, u"ADsPath", &column)) || column.values.empty()) return step(S_FALSE);
    const std::u16string path = column.values[0];
    search->FreeColumn(&column);
    GocTrace(ADGLog(), "%s", path);
    ComPtr<IADs> object;
    if (FAILED(ADGBindToADObject(path, &object.p))) return step(S_FALSE);
    ComPtr<IADsGroup> group;
    if (object.p->QueryInterface(IID_IADsGroup, group.out()) != S_OK) return step(S_FALSE);
    return step(ADGCheckMember(user_sid, group.p));
}

HRESULT ADGCheckMember(PSID user_sid, IADsGroup* group) {
    std::set<std::u16string> entered;
    return CheckMembers(user_sid, group, entered);
}

HRESULT ADGCheckUserSID(PSID user_sid, IADsUser* user) {
    Step step("ADGCheckUserSID");
    VARIANT sid;
    const HRESULT hr = user->Get(u"objectSid", &sid);
    if (FAILED(hr)) {
        GocTrace(ADGLog(), "User.Get(objectSid) failed (hr=%d)", hr);
        return step(S_FALSE);
    }
    std::u16string path, full, name, cls;
    user->get_ADsPath(&path);
    user->get_FullName(&full);
    user->get_Name(&name);
    user->get_Class(&cls);
    GocTrace(ADGLog(), "checking %s (Fullname=%s, CommonName=%s, Class=%s)", path, full, name, cls);
    const bool same = IsValidSid(sid.bytes.data()) && sid.bytes.size() == GetLengthSid(sid.bytes.data()) &&
                      EqualSid(sid.bytes.data(), user_sid);
    VariantClear(&sid);
    return step(same ? S_OK : S_FALSE);
}
