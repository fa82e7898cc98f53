// The manager's calls on the service database: handles to the manager and to
// services, creation and deletion, status queries and controls.
#include <signal.h>
#include <unistd.h>

#include <optional>

#include "base/handle.h"
#include "base/last_error.h"
#include "base/text.h"
#include "service/controls.h"
#include "service/dispatcher.h"
#include "service/service_account.h"
#include "service/service_database.h"
#include "service/systemd_unit.h"

namespace plat::service {
namespace {

using detail::ServiceConfig;

constexpr ACCESS_MASK kManagerWriteRights = SC_MANAGER_CREATE_SERVICE | 0x8 /* lock */ | 0x20 /* boot config */ |
                                           DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
constexpr ACCESS_MASK kServiceWriteRights =
    SERVICE_CHANGE_CONFIG | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

class ScObject : public HandleObject {
public:
    ScObject(ACCESS_MASK access, std::u16string name) : m_access(access), m_name(std::move(name)) {}
    bool Allows(ACCESS_MASK rights) const { return (m_access & rights) == rights; }
    const std::u16string& Name() const { return m_name; }
    bool IsManager() const { return m_name.empty(); }

private:
    const ACCESS_MASK m_access;
    const std::u16string m_name;  // empty for the manager
};

std::nullptr_t FailNull(DWORD error) {
    SetLastError(error);
    return nullptr;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

SC_HANDLE MakeHandle(ACCESS_MASK access, std::u16string name) {
    return reinterpret_cast<SC_HANDLE>(RegisterHandle(std::make_shared<ScObject>(access, std::move(name))));
}

std::shared_ptr<ScObject> Lookup(SC_HANDLE handle, bool manager) {
    auto object = LookupHandleAs<ScObject>(reinterpret_cast<HANDLE>(handle));
    if (!object || object->IsManager() != manager) return nullptr;
    return object;
}

bool IsLocalMachine(LPCWSTR machine) {
    if (!machine || !*machine) return true;
    std::u16string name(machine);
    while (!name.empty() && name.front() == u'\\') name.erase(0, 1);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return name == u"." || EqualsNoCase(name, u"localhost") || EqualsNoCase(name, Utf8ToUtf16(host));
}

DWORD CheckCreateArguments(LPCWSTR name, DWORD type, DWORD start, DWORD error_control, LPCWSTR binary_path,
                           LPCWSTR group, DWORD* tag, LPCWSTR dependencies) {
    if (!name) return ERROR_INVALID_ADDRESS;
    if (const DWORD rc = detail::CheckServiceName(name)) return rc;
    const bool own_process = (type & ~SERVICE_INTERACTIVE_PROCESS) == SERVICE_WIN32_OWN_PROCESS;
    if (!own_process || start < SERVICE_AUTO_START || start > SERVICE_DISABLED || error_control > SERVICE_ERROR_CRITICAL)
        return ERROR_INVALID_PARAMETER;
    if (!binary_path || !*binary_path || binary_path[0] != u'/') return ERROR_INVALID_PARAMETER;
    if ((group && *group) || tag || (dependencies && *dependencies)) return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

// Writes the database entry, then the unit; a failed unit takes the entry back.
DWORD Install(const ServiceConfig& config, const std::string& user) {
    if (const DWORD rc = detail::CreateConfig(config)) return rc;
    if (const DWORD rc = detail::WriteUnit(config, user)) {
        detail::DeleteConfig(config.name);
        return rc;
    }
    return ERROR_SUCCESS;
}

// The status of a service: this process's dispatcher's, else the stored
// record, else stopped. A record left by a process that has gone reads as
// stopped with ERROR_PROCESS_ABORTED.
SERVICE_STATUS CurrentStatus(const ServiceConfig& config, DWORD* process_id) {
    *process_id = 0;
    if (const auto local = detail::LocalStatus(config.name)) {
        *process_id = static_cast<DWORD>(getpid());
        return *local;
    }
    const auto record = detail::ReadStatus(config.name);
    if (!record) return SERVICE_STATUS{config.type, SERVICE_STOPPED, 0, 0, 0, 0, 0};
    if (record->status.dwCurrentState == SERVICE_STOPPED) return record->status;
    if (!detail::ProcessAlive(record->processId, record->processStart))
        return SERVICE_STATUS{config.type, SERVICE_STOPPED, 0, ERROR_PROCESS_ABORTED, 0, 0, 0};
    *process_id = record->processId;
    return record->status;
}

ACCESS_MASK RightFor(DWORD control) {
    switch (control) {
        case SERVICE_CONTROL_STOP: return SERVICE_STOP;
        case SERVICE_CONTROL_PAUSE:
        case SERVICE_CONTROL_CONTINUE: return SERVICE_PAUSE_CONTINUE;
        case SERVICE_CONTROL_INTERROGATE: return SERVICE_INTERROGATE;
        default: return SERVICE_USER_DEFINED_CONTROL;
    }
}

// Sends a control to the service's process as its signal.
DWORD SignalProcess(DWORD process_id, DWORD control) {
    const detail::SignalControl* sc = detail::FindByControl(control);
    if (!sc || sc->event_type != 0) return ERROR_INVALID_SERVICE_CONTROL;
    return kill(static_cast<pid_t>(process_id), sc->signal_number) == 0 ? ERROR_SUCCESS : Win32ErrorFromErrno(errno);
}

}  // namespace
}  // namespace plat::service

using namespace plat::service;

SC_HANDLE OpenSCManagerW(LPCWSTR machine, LPCWSTR database, ACCESS_MASK desired) {
    if (!IsLocalMachine(machine)) return FailNull(RPC_S_SERVER_UNAVAILABLE);
    if (database && *database && !plat::EqualsNoCase(database, u"ServicesActive"))
        return FailNull(ERROR_DATABASE_DOES_NOT_EXIST);
    if (desired & kManagerWriteRights)
        if (const DWORD rc = detail::CheckWritable()) return FailNull(rc);
    return MakeHandle(desired, u"");
}

SC_HANDLE CreateServiceW(SC_HANDLE manager, LPCWSTR name, LPCWSTR display_name, ACCESS_MASK desired,
                         DWORD service_type, DWORD start_type, DWORD error_control, LPCWSTR binary_path,
                         LPCWSTR load_order_group, DWORD* tag_id, LPCWSTR dependencies, LPCWSTR account,
                         LPCWSTR /*password: systemd starts the unit's user without one*/) {
    const auto object = Lookup(manager, true);
    if (!object) return FailNull(ERROR_INVALID_HANDLE);
    if (!object->Allows(SC_MANAGER_CREATE_SERVICE)) return FailNull(ERROR_ACCESS_DENIED);
    if (const DWORD rc = CheckCreateArguments(name, service_type, start_type, error_control, binary_path,
                                              load_order_group, tag_id, dependencies))
        return FailNull(rc);
    ServiceConfig config{name,        display_name && *display_name ? display_name : name,
                         binary_path, service_type,
                         start_type,  error_control,
                         account && *account ? account : detail::kLocalSystem,
                         detail::UnitName(name)};
    std::string user;
    if (const DWORD rc = detail::ResolveAccount(config.account, &user)) return FailNull(rc);
    if (const DWORD rc = Install(config, user)) return FailNull(rc);
    return MakeHandle(desired, config.name);
}

SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR name, ACCESS_MASK desired) {
    if (!Lookup(manager, true)) return FailNull(ERROR_INVALID_HANDLE);
    if (!name) return FailNull(ERROR_INVALID_ADDRESS);
    if (const DWORD rc = detail::CheckServiceName(name)) return FailNull(rc);
    ServiceConfig config;
    if (const DWORD rc = detail::ReadConfig(name, &config)) return FailNull(rc);
    if (desired & kServiceWriteRights)
        if (const DWORD rc = detail::CheckWritable()) return FailNull(rc);
    return MakeHandle(desired, config.name);
}

BOOL DeleteService(SC_HANDLE service) {
    const auto object = Lookup(service, false);
    if (!object) return Fail(ERROR_INVALID_HANDLE);
    if (!object->Allows(DELETE)) return Fail(ERROR_ACCESS_DENIED);
    ServiceConfig config;
    if (const DWORD rc = detail::ReadConfig(object->Name(), &config))
        return Fail(rc == ERROR_SERVICE_DOES_NOT_EXIST ? ERROR_SERVICE_MARKED_FOR_DELETE : rc);
    if (const DWORD rc = detail::RemoveUnit(config)) return Fail(rc);
    if (const DWORD rc = detail::DeleteConfig(config.name)) return Fail(rc);
    return TRUE;
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
    if (!Lookup(handle, true) && !Lookup(handle, false)) return Fail(ERROR_INVALID_HANDLE);
    return CloseHandle(reinterpret_cast<HANDLE>(handle));
}

BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status) {
    const auto object = Lookup(service, false);
    if (!object) return Fail(ERROR_INVALID_HANDLE);
    if (!status) return Fail(ERROR_INVALID_ADDRESS);
    if (!object->Allows(SERVICE_QUERY_STATUS)) return Fail(ERROR_ACCESS_DENIED);
    ServiceConfig config;
    if (const DWORD rc = detail::ReadConfig(object->Name(), &config)) return Fail(rc);
    DWORD process_id = 0;
    *status = CurrentStatus(config, &process_id);
    return TRUE;
}

BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) {
    const auto object = Lookup(service, false);
    if (!object) return Fail(ERROR_INVALID_HANDLE);
    const bool user_defined = control >= 128 && control <= 255;
    if (control < SERVICE_CONTROL_STOP || (control > SERVICE_CONTROL_INTERROGATE && !user_defined))
        return Fail(ERROR_INVALID_PARAMETER);
    if (!object->Allows(RightFor(control))) return Fail(ERROR_ACCESS_DENIED);
    ServiceConfig config;
    if (const DWORD rc = detail::ReadConfig(object->Name(), &config)) return Fail(rc);
    DWORD process_id = 0;
    SERVICE_STATUS current = CurrentStatus(config, &process_id);
    if (const DWORD refusal = detail::ControlRefusal(current, control, true)) return Fail(refusal);
    const bool here = process_id == static_cast<DWORD>(getpid());
    const DWORD rc = here ? SendControl(control) : SignalProcess(process_id, control);
    if (here) current = CurrentStatus(config, &process_id);
    if (status) *status = current;
    return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}
