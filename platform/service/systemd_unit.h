// The systemd unit that goes with an installed service. The unit file is
// <directory>/<unit name>, where the directory is $LUMETRA_ROOT/systemd when
// LUMETRA_ROOT is set and /etc/systemd/system otherwise, and the unit name is
// the service name in ASCII lower case with every character other than a
// letter, digit, '_', '.' or '-' turned into '-', plus ".service"
// ("Zelmor Lumetra" -> "zelmor-lumetra.service"). An automatic-start service
// is enabled the way `systemctl enable` does it: a link in
// multi-user.target.wants. systemd itself is not asked to reload; it reads
// the unit at the next boot or `systemctl daemon-reload`. Internal to the
// service piece.
#pragma once

#include <string>
#include <string_view>

#include "service/service_database.h"

namespace plat::service::detail {

std::string UnitDirectory();
std::u16string UnitName(std::u16string_view service_name);

// How long systemd lets a service stop before it kills it.
inline constexpr int kStopTimeoutSeconds = 30;

// The unit's text: Description from the display name, ExecStart from the
// binary path (quoted and escaped for systemd), TimeoutStopSec, User= for an
// account other than LocalSystem, and WantedBy=multi-user.target.
std::string UnitText(const ServiceConfig& config, const std::string& user);

// Writes the unit (atomically, mode 0644) and enables it for automatic
// start. ERROR_SERVICE_EXISTS when the unit file is already there.
DWORD WriteUnit(const ServiceConfig& config, const std::string& user);

// Removes the unit and its enabling link; a missing file is no error.
DWORD RemoveUnit(const ServiceConfig& config);

}  // namespace plat::service::detail
