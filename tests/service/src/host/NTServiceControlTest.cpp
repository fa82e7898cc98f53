#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "HostTestSupport.h"
#include "NTService.h"
#include "base/last_error.h"
#include "base/sync.h"
#include "scoped_root.h"
#include "service/power_status.h"

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

template <typename Pred>
void SpinUntil(Pred pred) {
    while (!pred()) std::this_thread::yield();
}

// The service installed in a private root and run by the dispatcher.
class DispatchedServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_service.InstallService()) << GetLastError();
        std::filesystem::create_directories(m_power + "/AC");
        std::ofstream(m_power + "/AC/type") << "Mains\n";
        std::ofstream(m_power + "/AC/online") << "0\n";
    }
    void Run() {
        m_thread = std::thread([&] { m_dispatched = m_service.RunDispatcher(); });
        m_server.WaitFor("Start");
    }
    void Join() {
        m_thread.join();
        EXPECT_TRUE(m_dispatched);
    }
    SERVICE_STATUS Stored() {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE service = OpenServiceW(manager, u"Zelmor Lumetra", SERVICE_QUERY_STATUS);
        SERVICE_STATUS status{};
        EXPECT_TRUE(QueryServiceStatus(service, &status)) << GetLastError();
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        return status;
    }

    ScopedRoot m_root;
    std::string m_power = m_root.Dir() + "/power";
    plat::ScopedPowerSupplyRoot m_powerRoot{m_power};
    FakeServer m_server;
    CNTService m_service{u"Zelmor Lumetra", &m_server};
    std::thread m_thread;
    BOOL m_dispatched = FALSE;
};

TEST_F(DispatchedServiceTest, SignalsAndControlsReachTheHandlersAndTheirStatesAreStored) {
    Run();
    SERVICE_STATUS status = Stored();
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    EXPECT_EQ(status.dwControlsAccepted, 0xC7u);
    EXPECT_EQ(m_service.OnBattery(), 1u) << "PrepareRun read the AC line";

    kill(getpid(), SIGUSR1);
    SpinUntil([&] { return Stored().dwCurrentState == SERVICE_PAUSED; });
    EXPECT_EQ(m_service.Paused(), 1u);
    EXPECT_EQ(plat::service::SendControl(SERVICE_CONTROL_CONTINUE), ERROR_SUCCESS);
    EXPECT_EQ(Stored().dwCurrentState, SERVICE_RUNNING);

    std::ofstream(m_power + "/AC/online") << "1\n";
    EXPECT_EQ(plat::service::SendControl(SERVICE_CONTROL_POWEREVENT, PBT_APMPOWERSTATUSCHANGE), ERROR_SUCCESS);
    EXPECT_EQ(m_service.OnBattery(), 0u);

    kill(getpid(), SIGTERM);
    Join();
    status = Stored();
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    EXPECT_EQ(m_server.Calls(), (std::vector<std::string>{"Init", "Start", "Stop"}));
}

TEST_F(DispatchedServiceTest, AShutdownOfTheInstalledServiceReportsStopPending) {
    Run();
    EXPECT_EQ(plat::service::SendControl(SERVICE_CONTROL_SHUTDOWN), ERROR_SUCCESS);
    Join();
    EXPECT_EQ(Stored().dwCurrentState, SERVICE_STOPPED);
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
