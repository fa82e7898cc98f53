#include "security/netapi.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "security/account_database.h"
#include "security/security_errors.h"

namespace {

using plat::security::Account;
using plat::security::CurrentAccountDatabase;
using plat::security::NormalizeHost;

// A returned buffer: the records, and the strings and SIDs they point to.
struct BufferBase {
    virtual ~BufferBase() = default;
    std::deque<std::u16string> strings;
    std::deque<plat::security::SidBytes> sids;
    LPWSTR Keep(std::u16string s) { return strings.emplace_back(std::move(s)).data(); }
    PSID Keep(plat::security::SidBytes s) { return sids.emplace_back(std::move(s)).data(); }
};

template <typename Record>
struct Buffer final : BufferBase {
    std::vector<Record> records;
};

std::mutex g_buffersMutex;
std::map<void*, std::unique_ptr<BufferBase>> g_buffers;

template <typename Record>
NET_API_STATUS HandOut(std::unique_ptr<Buffer<Record>> buffer, BYTE** out, DWORD* read, DWORD* total) {
    const DWORD count = static_cast<DWORD>(buffer->records.size());
    buffer->records.reserve(count + 1);  // a non-null address even when empty
    void* key = buffer->records.data();
    {
        std::lock_guard lock(g_buffersMutex);
        g_buffers[key] = std::move(buffer);
    }
    *out = static_cast<BYTE*>(key);
    if (read) *read = count;
    if (total) *total = count;
    return NERR_Success;
}

}  // namespace

NET_API_STATUS NetLocalGroupEnum(LPCWSTR server, DWORD level, BYTE** buffer, DWORD, DWORD* read, DWORD* total,
                                 DWORD_PTR*) {
    if (!buffer) return ERROR_INVALID_PARAMETER;
    if (level != 0) return ERROR_INVALID_LEVEL;
    std::vector<std::u16string> groups;
    if (const DWORD e = CurrentAccountDatabase().LocalGroups(NormalizeHost(server), &groups)) return e;
    auto out = std::make_unique<Buffer<LOCALGROUP_INFO_0>>();
    for (auto& g : groups) out->records.push_back({out->Keep(std::move(g))});
    return HandOut(std::move(out), buffer, read, total);
}

NET_API_STATUS NetLocalGroupGetMembers(LPCWSTR server, LPCWSTR group, DWORD level, BYTE** buffer, DWORD, DWORD* read,
                                       DWORD* total, DWORD_PTR*) {
    if (!buffer || !group) return ERROR_INVALID_PARAMETER;
    if (level != 2) return ERROR_INVALID_LEVEL;
    std::vector<Account> members;
    if (const DWORD e = CurrentAccountDatabase().LocalGroupMembers(NormalizeHost(server), group, &members)) return e;
    auto out = std::make_unique<Buffer<LOCALGROUP_MEMBERS_INFO_2>>();
    for (auto& m : members)
        out->records.push_back({out->Keep(m.sid), m.use, out->Keep(m.domain + u"\\" + m.name)});
    return HandOut(std::move(out), buffer, read, total);
}

NET_API_STATUS NetGroupGetUsers(LPCWSTR server, LPCWSTR group, DWORD level, BYTE** buffer, DWORD, DWORD* read,
                                DWORD* total, DWORD_PTR*) {
    if (!buffer || !group) return ERROR_INVALID_PARAMETER;
    if (level != 0) return ERROR_INVALID_LEVEL;
    std::vector<std::u16string> users;
    if (const DWORD e = CurrentAccountDatabase().GroupUsers(NormalizeHost(server), group, &users)) return e;
    auto out = std::make_unique<Buffer<GROUP_USERS_INFO_0>>();
    for (auto& u : users) out->records.push_back({out->Keep(std::move(u))});
    return HandOut(std::move(out), buffer, read, total);
}

NET_API_STATUS NetGetDCName(LPCWSTR server, LPCWSTR domain, BYTE** buffer) {
    if (!buffer) return ERROR_INVALID_PARAMETER;
    std::u16string dc;
    if (const DWORD e = CurrentAccountDatabase().DomainController(NormalizeHost(server), domain ? domain : u"", &dc))
        return e;
    auto out = std::make_unique<Buffer<WCHAR>>();
    const std::u16string text = u"\\\\" + dc;
    out->records.assign(text.begin(), text.end());
    out->records.push_back(u'\0');
    return HandOut(std::move(out), buffer, nullptr, nullptr);
}

NET_API_STATUS NetApiBufferFree(void* buffer) {
    if (!buffer) return NERR_Success;
    std::lock_guard lock(g_buffersMutex);
    return g_buffers.erase(buffer) ? NERR_Success : ERROR_INVALID_PARAMETER;
}
