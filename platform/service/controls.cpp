#include "service/controls.h"

#include <algorithm>

namespace plat::service::detail {
namespace {

constexpr SignalControl kSignalControls[] = {
    {SIGTERM, SERVICE_CONTROL_STOP, 0},
    {SIGINT, SERVICE_CONTROL_STOP, 0},
    {SIGHUP, SERVICE_CONTROL_INTERROGATE, 0},
    {SIGUSR1, SERVICE_CONTROL_PAUSE, 0},
    {SIGUSR2, SERVICE_CONTROL_CONTINUE, 0},
    {SIGPWR, SERVICE_CONTROL_POWEREVENT, PBT_APMPOWERSTATUSCHANGE},
};

struct ControlAccept {
    DWORD control;
    DWORD accept;  // the SERVICE_ACCEPT_* bit that admits it
};

constexpr ControlAccept kAccepts[] = {
    {SERVICE_CONTROL_STOP, SERVICE_ACCEPT_STOP},
    {SERVICE_CONTROL_PAUSE, SERVICE_ACCEPT_PAUSE_CONTINUE},
    {SERVICE_CONTROL_CONTINUE, SERVICE_ACCEPT_PAUSE_CONTINUE},
    {SERVICE_CONTROL_SHUTDOWN, SERVICE_ACCEPT_SHUTDOWN},
    {SERVICE_CONTROL_PARAMCHANGE, SERVICE_ACCEPT_PARAMCHANGE},
    {SERVICE_CONTROL_POWEREVENT, SERVICE_ACCEPT_POWEREVENT},
    {SERVICE_CONTROL_SESSIONCHANGE, SERVICE_ACCEPT_SESSIONCHANGE},
};

bool Accepted(DWORD accepted, DWORD control, bool extended_handler) {
    if (control == SERVICE_CONTROL_INTERROGATE || (control >= 128 && control <= 255)) return true;
    if (!extended_handler && (control == SERVICE_CONTROL_POWEREVENT || control == SERVICE_CONTROL_SESSIONCHANGE))
        return false;
    const auto* rule = std::find_if(std::begin(kAccepts), std::end(kAccepts),
                                    [&](const ControlAccept& a) { return a.control == control; });
    return rule != std::end(kAccepts) && (accepted & rule->accept) != 0;
}

}  // namespace

std::span<const SignalControl> SignalControls() { return kSignalControls; }

const SignalControl* FindBySignal(int signal_number) {
    for (const auto& s : kSignalControls)
        if (s.signal_number == signal_number) return &s;
    return nullptr;
}

const SignalControl* FindByControl(DWORD control) {
    for (const auto& s : kSignalControls)
        if (s.control == control) return &s;
    return nullptr;
}

DWORD ControlRefusal(const SERVICE_STATUS& status, DWORD control, bool extended_handler) {
    if (status.dwCurrentState == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
    if (control == SERVICE_CONTROL_INTERROGATE) return ERROR_SUCCESS;
    if (status.dwCurrentState == SERVICE_START_PENDING || status.dwCurrentState == SERVICE_STOP_PENDING)
        return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    return Accepted(status.dwControlsAccepted, control, extended_handler) ? ERROR_SUCCESS
                                                                           : ERROR_INVALID_SERVICE_CONTROL;
}

}  // namespace plat::service::detail
