// A TCP port on 127.0.0.1 that nobody listens on at the moment of the call,
// for tests and benchmarks that start servers side by side.
#pragma once

#include "base/wintypes.h"

namespace plat::net {

// 0 when the system gives none.
WORD FreeLoopbackPort();

}  // namespace plat::net
