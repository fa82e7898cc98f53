#include "service/service_account.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "base/text.h"
#include "base/win_errors.h"

namespace plat::service::detail {
namespace {

bool IsThisHost(std::u16string_view domain) {
    if (domain == u".") return true;
    char host[256] = {};
    return gethostname(host, sizeof host - 1) == 0 && EqualsNoCase(domain, Utf8ToUtf16(host));
}

bool UserExists(const std::string& name) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    return getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 && found;
}

}  // namespace

DWORD ResolveAccount(std::u16string_view account, std::string* user) {
    user->clear();
    if (account.empty() || EqualsNoCase(account, kLocalSystem)) return ERROR_SUCCESS;
    const auto slash = account.find(u'\\');
    if (slash != std::u16string_view::npos) {
        if (!IsThisHost(account.substr(0, slash))) return ERROR_INVALID_SERVICE_ACCOUNT;
        account.remove_prefix(slash + 1);
    }
    const std::string name = Utf16ToUtf8(account);
    if (name.empty() || !UserExists(name)) return ERROR_INVALID_SERVICE_ACCOUNT;
    *user = name;
    return ERROR_SUCCESS;
}

}  // namespace plat::service::detail
