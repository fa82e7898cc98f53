#include <gtest/gtest.h>

#include "HostTestSupport.h"
#include "NTService.h"
#include "base/last_error.h"
#include "base/sync.h"
#include "scoped_root.h"

namespace {

struct HandlerCase {
    const char* what;
    DWORD control;
    DWORD eventType;
    DWORD result;
    DWORD state;  // after the call
    DWORD paused;
    bool stopSignalled;
};

TEST(ControlHandlerEx, EachControlHasItsActionAndResult) {
    ScopedRoot root;  // the service is not installed here
    const HandlerCase cases[] = {
        {"stop", SERVICE_CONTROL_STOP, 0, 0, SERVICE_STOP_PENDING, 0, true},
        {"pause", SERVICE_CONTROL_PAUSE, 0, 0, SERVICE_PAUSED, 1, false},
        {"continue", SERVICE_CONTROL_CONTINUE, 0, 0, SERVICE_RUNNING, 0, false},
        {"interrogate", SERVICE_CONTROL_INTERROGATE, 0, 0, SERVICE_RUNNING, 0, false},
        {"shutdown, not installed", SERVICE_CONTROL_SHUTDOWN, 0, 0, SERVICE_RUNNING, 0, true},
        {"session change", SERVICE_CONTROL_SESSIONCHANGE, 1, 120, SERVICE_RUNNING, 0, false},
        {"power: query suspend", SERVICE_CONTROL_POWEREVENT, PBT_APMQUERYSUSPEND, 0, SERVICE_RUNNING, 0, false},
        {"power: OEM event", SERVICE_CONTROL_POWEREVENT, PBT_APMOEMEVENT, 120, SERVICE_RUNNING, 0, false},
        {"user-defined", 200, 0, 120, SERVICE_RUNNING, 0, false},
        {"beyond user-defined", 300, 0, 120, SERVICE_RUNNING, 0, false},
        {"parameter change", SERVICE_CONTROL_PARAMCHANGE, 0, 120, SERVICE_RUNNING, 0, false},
    };
    for (const HandlerCase& c : cases) {
        CNTService service(u"Zelmor Lumetra");
        service.ReportStatus(SERVICE_RUNNING);
        EXPECT_EQ(CNTService::ControlHandlerEx(c.control, c.eventType, nullptr, nullptr), c.result) << c.what;
        EXPECT_EQ(service.Status().dwCurrentState, c.state) << c.what;
        EXPECT_EQ(service.Paused(), c.paused) << c.what;
        EXPECT_EQ(WaitForSingleObject(service.StopEvent(), 0) == WAIT_OBJECT_0, c.stopSignalled) << c.what;
    }
}

TEST(ControlHandler, ThePlainHandlerTakesTheFirstFiveControls) {
    CNTService service(u"Zelmor Lumetra");
    service.ReportStatus(SERVICE_RUNNING);
    CNTService::ControlHandler(SERVICE_CONTROL_POWEREVENT);
    EXPECT_EQ(service.Status().dwCurrentState, SERVICE_RUNNING);
    CNTService::ControlHandler(SERVICE_CONTROL_PAUSE);
    EXPECT_EQ(service.Paused(), 1u);
    EXPECT_EQ(service.Status().dwCurrentState, SERVICE_PAUSED);
}

// PrepareRun's failure, with its own last error as the exit code.
class UnpreparedService : public CNTService {
public:
    using CNTService::CNTService;
    bool PrepareRun() override {
        SetLastError(ERROR_NOT_READY);
        return false;
    }
};

TEST(ServiceMain, AFailedPreparationReportsStoppedWithItsError) {
    ScopedRoot root;
    FakeServer server;
    UnpreparedService service(u"Zelmor Lumetra", &server);
    ASSERT_TRUE(service.InstallService());
    EXPECT_TRUE(service.RunDispatcher());
    EXPECT_EQ(service.Status().dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(service.Status().dwWin32ExitCode, ERROR_NOT_READY);
    EXPECT_TRUE(server.Calls().empty()) << "Execute never ran";
}

}  // namespace
