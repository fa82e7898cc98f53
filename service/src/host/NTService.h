// CNTService: the service program's life under the service control manager:
// its command line (install, remove, status query), the dispatcher, the
// control handlers and status reports, and Execute, which runs the server
// until the stop event is signalled.
//
// One instance per process: the first one constructed becomes the process's
// instance (Instance()); the callbacks given to the service control manager
// act on it, and every operation that reports status first checks that it
// runs on it.
//
// Threads: ServiceMain and Execute run on the dispatcher's service thread,
// ControlHandlerEx / ControlHandler on the dispatcher's control thread. The
// handlers only report states, change flags and signal the stop event, which
// Execute alone waits on. The status record is the one thing both threads
// write (an interrogation may arrive while ServiceMain reports start-up), so
// its changes and reports go under m_statusLock.
//
// COM: the program's only COM user, the directory look-up of the access
// check, initialises COM on its own thread, so the constructor has nothing
// to initialise here.
#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "base/wintypes.h"
#include "service/winsvc.h"
#include "ServerControl.h"

class CNTService {
public:
    static constexpr std::size_t kServiceNameChars = 64;
    static constexpr DWORD kStopPollMs = 250;  // Execute's wait for connections to close
    static constexpr int kStopPolls = 8;

    // `name` is cut to 63 characters. `server` (may be null: Execute then
    // returns at once) must outlive the service object.
    explicit CNTService(const WCHAR* name, ServerControl* server = nullptr);
    virtual ~CNTService();
    CNTService(const CNTService&) = delete;
    CNTService& operator=(const CNTService&) = delete;

    static CNTService* Instance() { return s_pThis; }

    // Handles "v", "Service", "UnRegServer", "User" and "Password" (each with
    // "-" or "/", any case); TRUE when one of v, Service or UnRegServer was
    // given. Messages go to the output stream (stdout unless SetOutput).
    BOOL ProcessCommandLine(int argc, WCHAR** argv);
    BOOL QueryInstalled();
    BOOL InstallService();
    BOOL RemoveService();
    // Runs ServiceMain under the dispatcher; returns when the service has stopped.
    BOOL RunDispatcher();
    void ReportStatus(DWORD state);
    // Sets exit code, check point and wait hint without reporting.
    void SetProgress(DWORD win32_exit_code);
    // Ends Execute as a system shutdown would (the foreground program's
    // SIGTERM and SIGINT). Safe from any thread.
    void RequestStop() { HandleShutdown(); }
    // Runs after InstallService has created the service (the program's
    // installer work, such as the keys the service needs).
    void SetInstallStep(std::function<void()> step) { m_installStep = std::move(step); }

    static void ServiceMain(DWORD argc, LPWSTR* argv);
    static DWORD ControlHandlerEx(DWORD control, DWORD event_type, LPVOID event_data, LPVOID context);
    static void ControlHandler(DWORD control);

    SERVICE_STATUS Status();
    const WCHAR* ServiceName() const { return m_szServiceName; }
    const std::optional<std::u16string>& Account() const { return m_Account; }
    const std::optional<std::u16string>& Password() const { return m_Password; }
    DWORD OnBattery() const { return m_bOnBattery; }
    DWORD Paused() const { return m_bPaused; }
    HANDLE StopEvent() const { return m_hStopEvent; }
    void SetOutput(std::FILE* out) { m_out = out; }

    // Virtual slots, in order after the destructor.
    // Runs the server until the stop event. A server that cannot start ends
    // it at once with the reason (the last error) as the Win32 exit code, so
    // the stop report and the process's exit status say it failed.
    virtual void Execute();
    virtual bool PrepareRun();
    virtual void HandleStop() {}
    virtual void HandleInterrogate() {}
    virtual void HandlePause();
    virtual void HandleContinue();
    virtual void HandleShutdown();
    virtual bool HandleCustomControl(DWORD /*control*/) { return false; }
    virtual DWORD HandlePowerEvent(DWORD event_type);
    virtual DWORD HandleSessionChange(DWORD /*event_type*/) { return ERROR_CALL_NOT_IMPLEMENTED; }

private:
    bool IsInstance() const { return this == s_pThis; }
    // Sets the on-battery flag from the AC line: false when the status could
    // not be read or the line is neither online nor offline.
    bool ReadPowerStatus();
    DWORD HandleControl(DWORD control, DWORD event_type);
    void SendStatus();
    void Print(const std::u16string& text);
    void PrintInstalledState();
    void PrintRemoval();
    void PrintInstallation();
    void WaitForConnectionsToClose();

    static CNTService* s_pThis;

    DWORD m_bOnBattery = 0;
    WCHAR m_szServiceName[kServiceNameChars] = {};
    std::optional<std::u16string> m_Account;   // none: the local system account
    std::optional<std::u16string> m_Password;
    SERVICE_STATUS_HANDLE m_hServiceStatus = nullptr;
    HANDLE m_hStopEvent = nullptr;
    std::recursive_mutex m_statusLock;  // guards m_Status; taken before the manager's locks
    SERVICE_STATUS m_Status{};
    DWORD m_bPaused = 0;
    ServerControl* m_server = nullptr;
    std::function<void()> m_installStep;
    std::FILE* m_out = stdout;
};
