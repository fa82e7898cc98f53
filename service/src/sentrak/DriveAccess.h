// Tells the user of drives the service may not use for lack of rights, as
// the device layer finds them: one line on stderr per device node,
//   sentrak: no access to /dev/sda: S.M.A.R.T. commands refused (...); ...
//   sentrak: no access to /dev/sdb: cannot open it (...); ...
// run.sh reads these lines (scripts/smart-access.sh).
#pragma once

#include <string>

namespace plat::device {
struct AccessRefusal;
}

// The line for one refusal, without its line end.
std::string DriveAccessLine(const plat::device::AccessRefusal& refusal);

// Installs the device layer's report that prints those lines.
void SayWhenDrivesRefuseAccess();
