#include "ServiceEntry.h"

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "HostTestSupport.h"
#include "base/last_error.h"
#include "scoped_root.h"

namespace {

class ServiceEntryTest : public ::testing::Test {
protected:
    void SetUp() override { m_service.SetOutput(m_out.File()); }

    // Runs the entry on a thread until the server is up, runs `while_up`,
    // then sends SIGTERM.
    template <typename WhileUp>
    int RunUntilTerminated(WhileUp while_up) {
        int exit_code = -1;
        std::thread entry([&] { exit_code = RunServiceProcess(m_service, m_log, {u"sentrak"}); });
        m_server.WaitFor("Start");
        while_up();
        kill(getpid(), SIGTERM);
        entry.join();
        return exit_code;
    }

    SERVICE_STATUS Stored() {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE service = OpenServiceW(manager, kServiceName, SERVICE_QUERY_STATUS);
        SERVICE_STATUS status{};
        EXPECT_TRUE(QueryServiceStatus(service, &status)) << GetLastError();
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        return status;
    }

    ScopedRoot m_root;
    CapturedOutput m_out;
    FakeServer m_server;
    CLog m_log;
    CNTService m_service{kServiceName, &m_server};
};

TEST_F(ServiceEntryTest, AnyArgumentEndsTheProcessAfterTheCommandLine) {
    EXPECT_EQ(RunServiceProcess(m_service, m_log, {u"sentrak", u"-x"}), 0);
    EXPECT_EQ(m_out.Take(), "");
    EXPECT_EQ(RunServiceProcess(m_service, m_log, {u"sentrak", u"/V"}), 0);
    EXPECT_EQ(m_out.Take(), "The Zelmor Lumetra service is not installed\n");
    EXPECT_TRUE(m_server.Calls().empty());
}

TEST_F(ServiceEntryTest, NotInstalledTheServerRunsInTheForegroundUntilSigterm) {
    EXPECT_EQ(RunUntilTerminated([] {}), 0);
    EXPECT_EQ(m_server.Calls(), (std::vector<std::string>{"Init", "Start", "Stop"}));
    EXPECT_EQ(m_log.GetLevel(), 0);
}

TEST_F(ServiceEntryTest, InstalledTheServiceRunsUnderTheDispatcher) {
    ASSERT_TRUE(m_service.InstallService()) << GetLastError();
    EXPECT_EQ(RunUntilTerminated([&] {
                  SERVICE_STATUS status = Stored();
                  EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
                  EXPECT_EQ(status.dwControlsAccepted, 0xC7u);
                  EXPECT_EQ(plat::service::SendControl(SERVICE_CONTROL_PAUSE), ERROR_SUCCESS);
                  EXPECT_EQ(Stored().dwCurrentState, SERVICE_PAUSED);
                  EXPECT_EQ(m_service.Paused(), 1u);
              }),
              0);
    EXPECT_EQ(m_server.Calls(), (std::vector<std::string>{"Init", "Start", "Stop"}));
    EXPECT_EQ(Stored().dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(Stored().dwWin32ExitCode, 0u);
}

}  // namespace
