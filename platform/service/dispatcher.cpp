// The in-process dispatcher. StartServiceCtrlDispatcherW's thread is the
// control thread: it delivers controls to the registered handler one at a
// time, while the service's main function runs on a thread of its own.
// Controls come from the signal relay, from SendControl and from
// ControlService.
//
// Lock: g_mutex guards g_active and everything in the session; handlers and
// the main function are called without it. g_writeMutex serialises status
// records to the store and is taken before g_mutex, never after.
#include "service/dispatcher.h"

#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "base/last_error.h"
#include "base/text.h"
#include "base/thread.h"
#include "service/controls.h"
#include "service/service_database.h"
#include "service/signal_relay.h"

namespace plat::service {
namespace {

using detail::StatusRecord;

struct Request {
    DWORD control = 0;
    DWORD eventType = 0;
    void* eventData = nullptr;
    DWORD result = ERROR_SUCCESS;
    bool done = false;
};

struct Session {
    std::u16string name;  // as the database spells it
    SERVICE_STATUS_HANDLE handle = nullptr;
    LPHANDLER_FUNCTION_EX handlerEx = nullptr;
    LPHANDLER_FUNCTION handler = nullptr;
    void* context = nullptr;
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, 0, 0, 0, 0};
    std::deque<std::shared_ptr<Request>> queue;
    bool stopRequested = false;  // a stop signal waits for a state that takes it
    bool mainDone = false;
    DWORD controlThread = 0;
};

std::mutex g_mutex;
std::condition_variable g_cv;
Session* g_active = nullptr;
std::uintptr_t g_generation = 0;  // makes every session's status handle new
std::mutex g_writeMutex;

bool Fail(DWORD error) {
    SetLastError(error);
    return false;
}

StatusRecord OwnRecord(const SERVICE_STATUS& status) {
    static const DWORD pid = static_cast<DWORD>(getpid());
    static const std::uint64_t start = detail::ProcessStartTime(pid);
    return StatusRecord{status, pid, start};
}

// Stores the session's latest status (not the caller's copy), so that
// concurrent reports end with the newest one in the store.
DWORD StoreLatestStatus() {
    std::lock_guard write(g_writeMutex);
    std::u16string name;
    SERVICE_STATUS status;
    {
        std::lock_guard lock(g_mutex);
        if (!g_active) return ERROR_INVALID_HANDLE;
        name = g_active->name;
        status = g_active->status;
    }
    return detail::WriteStatus(name, OwnRecord(status));
}

// A stop from a signal is kept until the service can take it: after start
// pending, dropped once the service stops by itself.
bool TakeStopRequest(Session& s) {
    if (!s.stopRequested || !s.handle) return false;
    const DWORD refusal = detail::ControlRefusal(s.status, SERVICE_CONTROL_STOP, s.handlerEx != nullptr);
    if (refusal == ERROR_SERVICE_CANNOT_ACCEPT_CTRL && s.status.dwCurrentState == SERVICE_START_PENDING) return false;
    s.stopRequested = false;
    return refusal == ERROR_SUCCESS;
}

DWORD Deliver(Session& s, const Request& r, std::unique_lock<std::mutex>& lock) {
    if (!s.handle) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    if (const DWORD refusal = detail::ControlRefusal(s.status, r.control, s.handlerEx != nullptr)) return refusal;
    const auto handlerEx = s.handlerEx;
    const auto handler = s.handler;
    void* const context = s.context;
    lock.unlock();
    DWORD result = NO_ERROR;
    if (handlerEx)
        result = handlerEx(r.control, r.eventType, r.eventData, context);
    else
        handler(r.control);
    lock.lock();
    return result;
}

void ControlLoop(Session& s) {
    std::unique_lock lock(g_mutex);
    for (;;) {
        std::shared_ptr<Request> request;
        g_cv.wait(lock, [&] {
            if (s.mainDone || !s.queue.empty()) return true;
            if (TakeStopRequest(s)) request = std::make_shared<Request>(Request{SERVICE_CONTROL_STOP});
            return request != nullptr;
        });
        if (s.mainDone) break;
        if (!request) {
            request = s.queue.front();
            s.queue.pop_front();
        }
        request->result = Deliver(s, *request, lock);
        request->done = true;
        g_cv.notify_all();
    }
    for (auto& pending : s.queue) {
        pending->result = ERROR_SERVICE_NOT_ACTIVE;
        pending->done = true;
    }
    s.queue.clear();
    g_cv.notify_all();
}

void OnSignal(int signal_number) {
    const detail::SignalControl* sc = detail::FindBySignal(signal_number);
    std::lock_guard lock(g_mutex);
    if (!g_active || !sc) return;
    if (sc->control == SERVICE_CONTROL_STOP)
        g_active->stopRequested = true;
    else
        g_active->queue.push_back(std::make_shared<Request>(Request{sc->control, sc->event_type}));
    g_cv.notify_all();
}

// A live process other than this one that has not reported stopped.
bool RunningElsewhere(std::u16string_view name) {
    const auto record = detail::ReadStatus(name);
    return record && record->status.dwCurrentState != SERVICE_STOPPED &&
           record->processId != static_cast<DWORD>(getpid()) &&
           detail::ProcessAlive(record->processId, record->processStart);
}

bool Begin(Session& s) {
    std::lock_guard lock(g_mutex);
    if (g_active) return Fail(ERROR_SERVICE_ALREADY_RUNNING);
    g_active = &s;
    ++g_generation;
    return true;
}

void End(Session& s) {
    bool aborted = false;
    {
        std::lock_guard lock(g_mutex);
        if (s.status.dwCurrentState != SERVICE_STOPPED) {
            s.status = SERVICE_STATUS{s.status.dwServiceType, SERVICE_STOPPED, 0, ERROR_PROCESS_ABORTED, 0, 0, 0};
            aborted = true;
        }
    }
    if (aborted) StoreLatestStatus();
    std::lock_guard lock(g_mutex);
    g_active = nullptr;
}

void RunSession(Session& s, LPSERVICE_MAIN_FUNCTIONW main) {
    std::u16string argument = s.name;
    LPWSTR argv[] = {argument.data(), nullptr};
    SignalRelay relay({SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2, SIGPWR}, OnSignal);
    if (!relay.Ok()) return;
    StoreLatestStatus();  // start pending, as the manager records a start
    std::thread main_thread([&] {
        main(1, argv);
        std::lock_guard lock(g_mutex);
        s.mainDone = true;
        g_cv.notify_all();
    });
    ControlLoop(s);
    main_thread.join();
}

}  // namespace

DWORD SendControl(DWORD control, DWORD event_type, void* event_data) {
    auto request = std::make_shared<Request>(Request{control, event_type, event_data});
    std::unique_lock lock(g_mutex);
    // Once the main function has returned, the control loop takes no more requests.
    if (!g_active || g_active->mainDone) return ERROR_SERVICE_NOT_ACTIVE;
    if (g_active->controlThread == GetCurrentThreadId()) return ERROR_POSSIBLE_DEADLOCK;
    g_active->queue.push_back(request);
    g_cv.notify_all();
    g_cv.wait(lock, [&] { return request->done; });
    return request->result;
}

namespace detail {

std::optional<SERVICE_STATUS> LocalStatus(std::u16string_view name) {
    std::lock_guard lock(g_mutex);
    if (!g_active || !EqualsNoCase(g_active->name, name)) return std::nullopt;
    return g_active->status;
}

}  // namespace detail
}  // namespace plat::service

using namespace plat::service;

BOOL StartServiceCtrlDispatcherW(const SERVICE_TABLE_ENTRYW* table) {
    if (!table || !table[0].lpServiceName || !table[0].lpServiceProc) return Fail(ERROR_INVALID_PARAMETER);
    detail::ServiceConfig config;
    if (const DWORD rc = detail::ReadConfig(table[0].lpServiceName, &config)) return Fail(rc);
    if (config.start == SERVICE_DISABLED) return Fail(ERROR_SERVICE_DISABLED);
    if (RunningElsewhere(config.name)) return Fail(ERROR_SERVICE_ALREADY_RUNNING);
    Session session;
    session.name = config.name;
    session.status.dwServiceType = config.type;
    session.controlThread = GetCurrentThreadId();
    if (!Begin(session)) return FALSE;
    RunSession(session, table[0].lpServiceProc);
    End(session);
    return TRUE;
}

namespace {

SERVICE_STATUS_HANDLE Register(LPCWSTR name, LPHANDLER_FUNCTION_EX handler_ex, LPHANDLER_FUNCTION handler,
                               void* context) {
    if (!name || (!handler_ex && !handler)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard lock(g_mutex);
    if (!g_active || !plat::EqualsNoCase(g_active->name, name)) {
        SetLastError(ERROR_SERVICE_NOT_IN_EXE);
        return nullptr;
    }
    g_active->handlerEx = handler_ex;
    g_active->handler = handler;
    g_active->context = context;
    g_active->handle = reinterpret_cast<SERVICE_STATUS_HANDLE>(g_generation);
    g_cv.notify_all();
    return g_active->handle;
}

}  // namespace

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExW(LPCWSTR name, LPHANDLER_FUNCTION_EX handler, LPVOID context) {
    return Register(name, handler, nullptr, context);
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerW(LPCWSTR name, LPHANDLER_FUNCTION handler) {
    return Register(name, nullptr, handler, nullptr);
}

BOOL SetServiceStatus(SERVICE_STATUS_HANDLE handle, const SERVICE_STATUS* status) {
    if (!status || status->dwCurrentState < SERVICE_STOPPED || status->dwCurrentState > SERVICE_PAUSED)
        return Fail(ERROR_INVALID_DATA);
    {
        std::lock_guard lock(g_mutex);
        if (!g_active || !handle || handle != g_active->handle) return Fail(ERROR_INVALID_HANDLE);
        g_active->status = *status;
        g_cv.notify_all();
    }
    const DWORD rc = StoreLatestStatus();
    return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}
