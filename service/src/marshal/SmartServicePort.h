// The TCP port of the S.M.A.R.T. service on the loopback interface: 50350,
// or the value of LUMETRA_SMART_PORT (1 to 65535) when set, so tests can run
// a private service next to an installed one. The service listens on it and
// the clients connect to it.
#pragma once

#include "base/wintypes.h"

inline constexpr WORD kSmartServicePort = 50350;
inline constexpr char kSmartPortVariable[] = "LUMETRA_SMART_PORT";

// The port from the environment; 50350 when unset or not a valid port.
WORD SmartServicePort();
