#include "NTService.h"

#include "base/clock.h"
#include "base/last_error.h"
#include "base/sync.h"
#include "base/win_errors.h"
#include "base/text.h"
#include "service/power_status.h"
#include "service/version.h"

CNTService* CNTService::s_pThis = nullptr;

namespace {

DWORD AcceptedControls() {
    const DWORD version = GetVersion();
    const BYTE major = LOBYTE(LOWORD(version));
    const BYTE minor = HIBYTE(LOWORD(version));
    DWORD accepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN;
    if (major > 4) {
        accepted |= SERVICE_ACCEPT_POWEREVENT;
        if (major > 5 || minor != 0) accepted |= SERVICE_ACCEPT_SESSIONCHANGE;
    }
    return accepted;
}

}  // namespace

CNTService::CNTService(const WCHAR* name, ServerControl* server) : m_server(server) {
    if (!s_pThis) s_pThis = this;
    plat::CopyToField(m_szServiceName, kServiceNameChars, name ? std::u16string_view(name) : u"");
    m_hStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_Status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    m_Status.dwCurrentState = SERVICE_STOPPED;
    m_Status.dwControlsAccepted = AcceptedControls();
}

CNTService::~CNTService() {
    if (m_hStopEvent) CloseHandle(m_hStopEvent);
    if (s_pThis == this) s_pThis = nullptr;
}

SERVICE_STATUS CNTService::Status() {
    std::lock_guard lock(m_statusLock);
    return m_Status;
}

void CNTService::ReportStatus(DWORD state) {
    if (!IsInstance()) return;
    std::lock_guard lock(m_statusLock);
    m_Status.dwCurrentState = state;
    SetServiceStatus(m_hServiceStatus, &m_Status);
}

void CNTService::SetProgress(DWORD win32_exit_code) {
    std::lock_guard lock(m_statusLock);
    m_Status.dwWin32ExitCode = win32_exit_code;
    m_Status.dwCheckPoint = 0;
    m_Status.dwWaitHint = 0;
}

void CNTService::SendStatus() {
    std::lock_guard lock(m_statusLock);
    SetServiceStatus(m_hServiceStatus, &m_Status);
}

bool CNTService::ReadPowerStatus() {
    SYSTEM_POWER_STATUS power;
    if (!GetSystemPowerStatus(&power)) return false;
    if (power.ACLineStatus == AC_LINE_ONLINE)
        m_bOnBattery = 0;
    else if (power.ACLineStatus == AC_LINE_OFFLINE)
        m_bOnBattery = 1;
    else
        return false;
    return true;
}

bool CNTService::PrepareRun() {
    if (m_Status.dwControlsAccepted & SERVICE_ACCEPT_POWEREVENT) ReadPowerStatus();
    return true;
}

void CNTService::HandlePause() {
    ReportStatus(SERVICE_PAUSE_PENDING);
    m_bPaused = 1;
    ReportStatus(SERVICE_PAUSED);
}

void CNTService::HandleContinue() {
    ReportStatus(SERVICE_CONTINUE_PENDING);
    m_bPaused = 0;
    ReportStatus(SERVICE_RUNNING);
}

void CNTService::HandleShutdown() {
    if (QueryInstalled()) ReportStatus(SERVICE_STOP_PENDING);
    HandleStop();
    SetEvent(m_hStopEvent);
}

DWORD CNTService::HandlePowerEvent(DWORD event_type) {
    switch (event_type) {
        case PBT_APMPOWERSTATUSCHANGE: return ReadPowerStatus() ? ERROR_SUCCESS : ERROR_INTERNAL_ERROR;
        case PBT_APMQUERYSUSPEND:
        case PBT_APMQUERYSUSPENDFAILED:
        case PBT_APMSUSPEND:
        case PBT_APMRESUMECRITICAL:
        case PBT_APMRESUMESUSPEND:
        case PBT_APMBATTERYLOW:
        case PBT_APMRESUMEAUTOMATIC: return ERROR_SUCCESS;
        default: return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void CNTService::Execute() {
    if (!m_server) return;
    if (FAILED(m_server->Init()) || FAILED(m_server->Start())) {
        const DWORD error = GetLastError();
        SetProgress(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
        return;
    }
    WaitForSingleObject(m_hStopEvent, INFINITE);
    WaitForConnectionsToClose();
    m_server->Stop();
}

// The close request goes to every connection before the wait, so clients
// that close when asked end the wait as soon as they have all gone.
void CNTService::WaitForConnectionsToClose() {
    m_server->RequestClose();
    for (int i = 0; i < kStopPolls && m_server->ConnectionCount() > 0; ++i) m_server->AwaitNoConnections(kStopPollMs);
}
