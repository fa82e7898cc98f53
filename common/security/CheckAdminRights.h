// CCheckAdminRights: is the account with a given SID a member of the
// Administrators group (S-1-5-32-544) of a machine, directly or through
// nested local, domain or directory groups? The walk is traced in the
// process-wide "GOC" log (level 15), which each checker attaches to the
// parent log it is given (none: detached) and detaches again when it ends,
// so the log never forwards to a parent that no longer exists.
//
// Group walk results: 1 member, 0 not a member, -1 error. The ADG
// directory functions return S_OK (found), S_FALSE (not found) or an error.
// Threads: one checker per thread; the "GOC" log and the ADG log reference
// are process-wide and replaced by every new checker.
#pragma once

#include <string>
#include <vector>

#include "log/Log.h"
#include "security/ads.h"
#include "security/sid.h"

class CCheckAdminRights {
public:
    explicit CCheckAdminRights(CLog* parent = nullptr);
    virtual ~CCheckAdminRights();
    CCheckAdminRights(const CCheckAdminRights&) = delete;
    CCheckAdminRights& operator=(const CCheckAdminRights&) = delete;

    // `host` null for this machine; `user_sid` null for the process user.
    int AdminRights(const WCHAR* host, PSID user_sid);
    // "S-1-5-32-544" form, new[]-allocated for the caller; null for an
    // invalid SID (written to the "GOC" log).
    static WCHAR* ConvertPSIDToString(PSID sid);

    // The "GOC" log (process-wide).
    static CLog& GocLog();

    int SearchGroup(const std::u16string& host, const std::u16string& group, PSID user_sid, int use,
                    const std::u16string& path, int depth);

private:
    struct Resolved {
        std::vector<BYTE> sid;
        std::u16string domain;
        SID_NAME_USE use = SidTypeUnknown;
    };
    // LookupAccountNameW on `host` ("localhost": this machine).
    static bool Resolve(const std::u16string& host, const std::u16string& name, Resolved* out);
    static std::u16string SidText(const void* sid);
    int SearchRoot(const std::u16string& host, PSID user_sid, int depth);
    int SearchLocalGroup(const std::u16string& host, const std::u16string& group, PSID user_sid,
                         const std::u16string& path, int depth);
    int SearchDomainGroup(const std::u16string& host, const std::u16string& group, PSID user_sid,
                          const std::u16string& path, int depth);
    bool Visited(const std::u16string& name);

    std::vector<std::u16string> m_visited;
    PSID m_pAdminSid = nullptr;
    CLog* m_pParent = nullptr;
    std::u16string m_computerName;
};

// The directory search, with its own trace lines in the ADG log.
HRESULT ADGSearchSID2(const WCHAR* host, PSID user_sid, const WCHAR* group);
HRESULT ADGSearchSID1(const std::u16string& host, PSID user_sid, const std::vector<std::u16string>& groups);
HRESULT ADGBindToHost(const std::u16string& host, IADs** out);
HRESULT ADGBindToADObject(const std::u16string& path, IADs** out);
HRESULT ADGSearchGroup(IADs* host, PSID user_sid, const std::u16string& group);
HRESULT ADGSearchColumn(IDirectorySearch* search, ADS_SEARCH_HANDLE handle, PSID user_sid);
HRESULT ADGCheckMember(PSID user_sid, IADsGroup* group);
HRESULT ADGCheckUserSID(PSID user_sid, IADsUser* user);
// The log the ADG functions write to (set by every new checker).
void SetADGLog(CLog* log);
// The name of this machine's local group whose SID is S-1-5-32-544, or "".
std::u16string FindAdministratorsGroup(const std::u16string& host);
// "S_OK", "S_FALSE", "E_FAIL", or the value as 0x%x.
std::string HResultName(HRESULT hr);
