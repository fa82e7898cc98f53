#include "security/account_database.h"

#include <atomic>

#include "base/text.h"

namespace plat::security {
namespace {

std::mutex g_installMutex;
std::shared_ptr<AccountDatabase> g_database = MakeLinuxAccountDatabase();
std::atomic<AccountDatabase*> g_databaseRaw{g_database.get()};

}  // namespace

AccountDatabase& CurrentAccountDatabase() { return *g_databaseRaw.load(std::memory_order_acquire); }

std::shared_ptr<AccountDatabase> InstallAccountDatabase(std::shared_ptr<AccountDatabase> db) {
    std::lock_guard lock(g_installMutex);
    std::shared_ptr<AccountDatabase> previous = g_database;
    g_database = std::move(db);
    g_databaseRaw.store(g_database.get(), std::memory_order_release);
    return previous;
}

std::u16string NormalizeHost(const WCHAR* host) {
    std::u16string h = host ? std::u16string(host) : std::u16string();
    while (!h.empty() && h.front() == u'\\') h.erase(0, 1);
    if (EqualsNoCase(h, u"localhost") || EqualsNoCase(h, CurrentAccountDatabase().ComputerName())) h.clear();
    return h;
}

std::pair<std::u16string, std::u16string> SplitAccountName(const std::u16string& name) {
    const auto slash = name.find(u'\\');
    if (slash == std::u16string::npos) return {u"", name};
    return {name.substr(0, slash), name.substr(slash + 1)};
}

}  // namespace plat::security
