// Which controls a service takes in which state, and the signals that carry
// controls between processes. Internal to the service piece.
#pragma once

#include <signal.h>

#include <span>

#include "service/winsvc.h"

namespace plat::service::detail {

struct SignalControl {
    int signal_number;
    DWORD control;
    DWORD event_type;
};

// SIGTERM and SIGINT stop, SIGHUP interrogates, SIGUSR1 pauses, SIGUSR2
// continues, SIGPWR reports a power status change. A control sent to another
// process travels as the first signal listed for it.
std::span<const SignalControl> SignalControls();
const SignalControl* FindBySignal(int signal_number);
const SignalControl* FindByControl(DWORD control);

// ERROR_SUCCESS when a service with `status` takes `control` now, else why
// not: ERROR_SERVICE_NOT_ACTIVE (stopped), ERROR_SERVICE_CANNOT_ACCEPT_CTRL
// (start or stop pending; interrogation is always taken),
// ERROR_INVALID_SERVICE_CONTROL (not among the accepted controls). Codes
// 128 to 255 are user-defined and always accepted. A plain (non-Ex) handler
// takes no power or session events.
DWORD ControlRefusal(const SERVICE_STATUS& status, DWORD control, bool extended_handler);

}  // namespace plat::service::detail
