// The NTSTATUS a Windows driver reports where Linux reports an errno.
#pragma once

#include "base/ntstatus.h"

namespace plat::device::detail {

// `for_open`: an open of a name, where a missing node means the name does
// not exist; otherwise a request on an open device, which has gone away.
NTSTATUS StatusFromErrno(int err, bool for_open);

}  // namespace plat::device::detail
