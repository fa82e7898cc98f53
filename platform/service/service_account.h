// The account a service runs under. "LocalSystem" (or none) is root, which
// a systemd unit expresses by naming no user; ".\name", "<this host>\name"
// and a bare "name" are the local user `name` from the passwd database.
// Internal to the service piece.
#pragma once

#include <string>
#include <string_view>

#include "base/wintypes.h"

namespace plat::service::detail {

inline constexpr char16_t kLocalSystem[] = u"LocalSystem";

// ERROR_SUCCESS and the Linux user name ("" for LocalSystem), or
// ERROR_INVALID_SERVICE_ACCOUNT for a user that does not exist here or an
// account of another domain.
DWORD ResolveAccount(std::u16string_view account, std::string* user);

}  // namespace plat::service::detail
