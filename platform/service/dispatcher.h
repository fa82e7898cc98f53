// What the manager's calls need to know of this process's dispatcher.
// Internal to the service piece.
#pragma once

#include <optional>
#include <string_view>

#include "service/winsvc.h"

namespace plat::service::detail {

// The status of `name` when this process's dispatcher runs it (start
// pending until the service reports), else nothing.
std::optional<SERVICE_STATUS> LocalStatus(std::u16string_view name);

}  // namespace plat::service::detail
