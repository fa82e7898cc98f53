// The service control manager: the service database, the dispatcher that
// runs a service in its own process, control handlers and status reports.
// See docs/service.md for the database layout, the systemd unit, the
// signal-to-control mapping and where status reports are kept.
//
// Every call returns the Win32 result (BOOL, handle or error code) and sets
// the thread's last error on failure, as advapi32 does. All calls are safe
// from any thread.
#pragma once

#include "base/nt_types.h"
#include "base/win_errors.h"
#include "base/wintypes.h"

struct SC_HANDLE__;
using SC_HANDLE = SC_HANDLE__*;
struct SERVICE_STATUS_HANDLE__;
using SERVICE_STATUS_HANDLE = SERVICE_STATUS_HANDLE__*;

// Service types.
constexpr DWORD SERVICE_KERNEL_DRIVER = 0x1;
constexpr DWORD SERVICE_FILE_SYSTEM_DRIVER = 0x2;
constexpr DWORD SERVICE_WIN32_OWN_PROCESS = 0x10;
constexpr DWORD SERVICE_WIN32_SHARE_PROCESS = 0x20;
constexpr DWORD SERVICE_INTERACTIVE_PROCESS = 0x100;

// Start types and error control.
constexpr DWORD SERVICE_BOOT_START = 0;
constexpr DWORD SERVICE_SYSTEM_START = 1;
constexpr DWORD SERVICE_AUTO_START = 2;
constexpr DWORD SERVICE_DEMAND_START = 3;
constexpr DWORD SERVICE_DISABLED = 4;
constexpr DWORD SERVICE_ERROR_IGNORE = 0;
constexpr DWORD SERVICE_ERROR_NORMAL = 1;
constexpr DWORD SERVICE_ERROR_SEVERE = 2;
constexpr DWORD SERVICE_ERROR_CRITICAL = 3;

// Current states.
constexpr DWORD SERVICE_STOPPED = 1;
constexpr DWORD SERVICE_START_PENDING = 2;
constexpr DWORD SERVICE_STOP_PENDING = 3;
constexpr DWORD SERVICE_RUNNING = 4;
constexpr DWORD SERVICE_CONTINUE_PENDING = 5;
constexpr DWORD SERVICE_PAUSE_PENDING = 6;
constexpr DWORD SERVICE_PAUSED = 7;

// Accepted controls.
constexpr DWORD SERVICE_ACCEPT_STOP = 0x1;
constexpr DWORD SERVICE_ACCEPT_PAUSE_CONTINUE = 0x2;
constexpr DWORD SERVICE_ACCEPT_SHUTDOWN = 0x4;
constexpr DWORD SERVICE_ACCEPT_PARAMCHANGE = 0x8;
constexpr DWORD SERVICE_ACCEPT_POWEREVENT = 0x40;
constexpr DWORD SERVICE_ACCEPT_SESSIONCHANGE = 0x80;

// Control codes.
constexpr DWORD SERVICE_CONTROL_STOP = 1;
constexpr DWORD SERVICE_CONTROL_PAUSE = 2;
constexpr DWORD SERVICE_CONTROL_CONTINUE = 3;
constexpr DWORD SERVICE_CONTROL_INTERROGATE = 4;
constexpr DWORD SERVICE_CONTROL_SHUTDOWN = 5;
constexpr DWORD SERVICE_CONTROL_PARAMCHANGE = 6;
constexpr DWORD SERVICE_CONTROL_POWEREVENT = 13;
constexpr DWORD SERVICE_CONTROL_SESSIONCHANGE = 14;

// Power event types of SERVICE_CONTROL_POWEREVENT.
constexpr DWORD PBT_APMQUERYSUSPEND = 0x0;
constexpr DWORD PBT_APMQUERYSUSPENDFAILED = 0x2;
constexpr DWORD PBT_APMSUSPEND = 0x4;
constexpr DWORD PBT_APMRESUMECRITICAL = 0x6;
constexpr DWORD PBT_APMRESUMESUSPEND = 0x7;
constexpr DWORD PBT_APMBATTERYLOW = 0x9;
constexpr DWORD PBT_APMPOWERSTATUSCHANGE = 0xA;
constexpr DWORD PBT_APMOEMEVENT = 0xB;
constexpr DWORD PBT_APMRESUMEAUTOMATIC = 0x12;

// Access rights of the manager and of a service.
constexpr ACCESS_MASK SC_MANAGER_CONNECT = 0x1;
constexpr ACCESS_MASK SC_MANAGER_CREATE_SERVICE = 0x2;
constexpr ACCESS_MASK SC_MANAGER_ENUMERATE_SERVICE = 0x4;
constexpr ACCESS_MASK SC_MANAGER_ALL_ACCESS = 0xF003F;
constexpr ACCESS_MASK SERVICE_QUERY_CONFIG = 0x1;
constexpr ACCESS_MASK SERVICE_CHANGE_CONFIG = 0x2;
constexpr ACCESS_MASK SERVICE_QUERY_STATUS = 0x4;
constexpr ACCESS_MASK SERVICE_ENUMERATE_DEPENDENTS = 0x8;
constexpr ACCESS_MASK SERVICE_START = 0x10;
constexpr ACCESS_MASK SERVICE_STOP = 0x20;
constexpr ACCESS_MASK SERVICE_PAUSE_CONTINUE = 0x40;
constexpr ACCESS_MASK SERVICE_INTERROGATE = 0x80;
constexpr ACCESS_MASK SERVICE_USER_DEFINED_CONTROL = 0x100;
constexpr ACCESS_MASK SERVICE_ALL_ACCESS = 0xF01FF;

struct SERVICE_STATUS {
    DWORD dwServiceType = 0;
    DWORD dwCurrentState = 0;
    DWORD dwControlsAccepted = 0;
    DWORD dwWin32ExitCode = 0;
    DWORD dwServiceSpecificExitCode = 0;
    DWORD dwCheckPoint = 0;
    DWORD dwWaitHint = 0;
};
static_assert(sizeof(SERVICE_STATUS) == 28);

using LPSERVICE_MAIN_FUNCTIONW = void (*)(DWORD argc, LPWSTR* argv);
using LPHANDLER_FUNCTION = void (*)(DWORD control);
using LPHANDLER_FUNCTION_EX = DWORD (*)(DWORD control, DWORD event_type, LPVOID event_data, LPVOID context);

struct SERVICE_TABLE_ENTRYW {
    LPWSTR lpServiceName;
    LPSERVICE_MAIN_FUNCTIONW lpServiceProc;
};

// Only the local machine and its one database exist: another machine name
// gives RPC_S_SERVER_UNAVAILABLE, another database ERROR_DATABASE_DOES_NOT_EXIST.
// Rights that change the database (create, delete, change, lock) need a
// process that may write the machine registry store: ERROR_ACCESS_DENIED
// otherwise, as for a non-administrator on Windows.
SC_HANDLE OpenSCManagerW(LPCWSTR machine, LPCWSTR database, ACCESS_MASK desired);

// Records the service in the database and writes its systemd unit (enabled
// for SERVICE_AUTO_START). Own-process services only (SERVICE_INTERACTIVE_PROCESS
// is recorded and has no effect). The account ("LocalSystem" or none: root;
// ".\name" or "name": a local user) must exist; the password is checked by
// nobody and stored nowhere. Load-order group, tag and dependencies are not
// supported (ERROR_INVALID_PARAMETER when given). ERROR_SERVICE_EXISTS when
// the name, or its unit file, is taken.
SC_HANDLE CreateServiceW(SC_HANDLE manager, LPCWSTR name, LPCWSTR display_name, ACCESS_MASK desired,
                         DWORD service_type, DWORD start_type, DWORD error_control, LPCWSTR binary_path,
                         LPCWSTR load_order_group, DWORD* tag_id, LPCWSTR dependencies, LPCWSTR account,
                         LPCWSTR password);

// ERROR_SERVICE_DOES_NOT_EXIST for a name the database does not hold.
SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR name, ACCESS_MASK desired);

// Removes the systemd unit and then the database entry, at once (a running
// service process is not stopped by this; Windows would defer the removal).
BOOL DeleteService(SC_HANDLE service);
BOOL CloseServiceHandle(SC_HANDLE handle);

// The last status the service reported. A service whose process has ended
// without reporting SERVICE_STOPPED reads as stopped with ERROR_PROCESS_ABORTED.
BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status);

// Sends stop, pause, continue, interrogate or a user-defined control (128 to
// 255). For a service run by this process's dispatcher the handler runs
// before the call returns; another process is sent the control's signal
// (docs/service.md) and `status` is the status before it acts. Errors:
// ERROR_SERVICE_NOT_ACTIVE (stopped), ERROR_SERVICE_CANNOT_ACCEPT_CTRL
// (start or stop pending), ERROR_INVALID_SERVICE_CONTROL (not accepted, or a
// user-defined control for another process), ERROR_INVALID_PARAMETER (a code
// that only the system sends: shutdown, power, session).
BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status);

// Runs the first table entry's service: its main function on a new thread
// while the calling thread delivers controls to the registered handler,
// until the main function has returned. SIGTERM and SIGINT become stop,
// SIGHUP interrogate, SIGUSR1 pause, SIGUSR2 continue and SIGPWR a power
// status change while the dispatcher runs. The service must be in the
// database (ERROR_SERVICE_DOES_NOT_EXIST), not disabled (ERROR_SERVICE_DISABLED)
// and not already running in another live process
// (ERROR_SERVICE_ALREADY_RUNNING); one dispatcher per process.
BOOL StartServiceCtrlDispatcherW(const SERVICE_TABLE_ENTRYW* table);

// Register the control handler of the running service (ERROR_SERVICE_NOT_IN_EXE
// when this process's dispatcher does not run a service of that name).
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExW(LPCWSTR name, LPHANDLER_FUNCTION_EX handler, LPVOID context);
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerW(LPCWSTR name, LPHANDLER_FUNCTION handler);

// Records the status where QueryServiceStatus and other processes read it.
// ERROR_INVALID_HANDLE for a stale handle, ERROR_INVALID_DATA for an unknown
// state; the store's error when the record could not be written (the
// dispatcher still acts on the new status).
BOOL SetServiceStatus(SERVICE_STATUS_HANDLE handle, const SERVICE_STATUS* status);

namespace plat::service {

// The in-process controller: delivers a control (any code, including
// shutdown, power and session events) to the service this process's
// dispatcher runs, and returns the handler's result or the refusal
// (ERROR_SERVICE_NOT_ACTIVE, ERROR_SERVICE_CANNOT_ACCEPT_CTRL,
// ERROR_INVALID_SERVICE_CONTROL). Must not be called from a control handler.
DWORD SendControl(DWORD control, DWORD event_type = 0, void* event_data = nullptr);

// The advapi32 entry points the system's code looks up at run time by name
// ("RegisterServiceCtrlHandlerExW", ...); nullptr for an unknown name.
void* LookupAdvapiProc(const char* name);

}  // namespace plat::service
