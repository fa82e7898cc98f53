// The callbacks the service control manager calls: the service's main
// function and the control handlers.
#include "NTService.h"

#include "base/last_error.h"
#include "base/sync.h"

void CNTService::ServiceMain(DWORD /*argc*/, LPWSTR* /*argv*/) {
    CNTService* self = s_pThis;
    if (!self) return;
    {
        std::lock_guard lock(self->m_statusLock);
        self->m_Status.dwCurrentState = SERVICE_START_PENDING;
    }
    // The extended registration is looked up by name, as older systems lack it.
    using RegisterEx = SERVICE_STATUS_HANDLE (*)(LPCWSTR, LPHANDLER_FUNCTION_EX, LPVOID);
    const auto register_ex = reinterpret_cast<RegisterEx>(
        plat::service::LookupAdvapiProc("RegisterServiceCtrlHandlerExW"));
    if (register_ex) self->m_hServiceStatus = register_ex(self->m_szServiceName, ControlHandlerEx, nullptr);
    if (!self->m_hServiceStatus)
        self->m_hServiceStatus = RegisterServiceCtrlHandlerW(self->m_szServiceName, ControlHandler);
    if (!self->m_hServiceStatus) return;

    self->ReportStatus(SERVICE_START_PENDING);
    // A clean last error, so that the exit code tells PrepareRun's own failure.
    SetLastError(ERROR_SUCCESS);
    const bool prepared = self->PrepareRun();
    self->SetProgress(GetLastError());
    if (!prepared) {
        self->ReportStatus(SERVICE_STOPPED);
        return;
    }
    self->ReportStatus(SERVICE_RUNNING);

    ResetEvent(self->m_hStopEvent);
    self->SetProgress(ERROR_SUCCESS);
    self->Execute();
    self->ReportStatus(SERVICE_STOPPED);
}

DWORD CNTService::HandleControl(DWORD control, DWORD event_type) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
            ReportStatus(SERVICE_STOP_PENDING);
            HandleStop();
            SetEvent(m_hStopEvent);
            return ERROR_SUCCESS;
        case SERVICE_CONTROL_PAUSE: HandlePause(); return ERROR_SUCCESS;
        case SERVICE_CONTROL_CONTINUE: HandleContinue(); return ERROR_SUCCESS;
        case SERVICE_CONTROL_INTERROGATE: HandleInterrogate(); return ERROR_SUCCESS;
        case SERVICE_CONTROL_SHUTDOWN: HandleShutdown(); return ERROR_SUCCESS;
        case SERVICE_CONTROL_POWEREVENT: return HandlePowerEvent(event_type);
        case SERVICE_CONTROL_SESSIONCHANGE: return HandleSessionChange(event_type);
        default:
            if (control >= 128 && control <= 255)
                return HandleCustomControl(control) ? ERROR_SUCCESS : ERROR_CALL_NOT_IMPLEMENTED;
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

DWORD CNTService::ControlHandlerEx(DWORD control, DWORD event_type, LPVOID /*event_data*/, LPVOID /*context*/) {
    CNTService* self = s_pThis;
    if (!self) return ERROR_CALL_NOT_IMPLEMENTED;
    const DWORD result = self->HandleControl(control, event_type);
    self->SendStatus();
    return result;
}

void CNTService::ControlHandler(DWORD control) {
    CNTService* self = s_pThis;
    if (!self) return;
    if (control >= SERVICE_CONTROL_STOP && control <= SERVICE_CONTROL_SHUTDOWN)
        self->HandleControl(control, 0);
    else if (control >= 128)
        self->HandleCustomControl(control);
    self->SendStatus();
}

BOOL CNTService::RunDispatcher() {
    SERVICE_TABLE_ENTRYW table[] = {{m_szServiceName, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table);
}
