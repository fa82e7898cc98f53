#include "ServiceEntry.h"

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "HostTestSupport.h"
#include "base/last_error.h"
#include "registry/registry.h"
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
    EXPECT_EQ(m_server.Calls(), (std::vector<std::string>{"Init", "Start", "RequestClose", "Stop"}));
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
    EXPECT_EQ(m_server.Calls(), (std::vector<std::string>{"Init", "Start", "RequestClose", "Stop"}));
    EXPECT_EQ(Stored().dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(Stored().dwWin32ExitCode, 0u);
}

TEST_F(ServiceEntryTest, AServerThatCannotListenEndsTheForegroundProgramWithItsError) {
    m_server.m_startResult = E_FAIL;
    m_server.m_startError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(RunServiceProcess(m_service, m_log, {u"sentrak"}), int(ERROR_ACCESS_DENIED)) << "it does not wait";
    EXPECT_EQ(m_service.Status().dwWin32ExitCode, ERROR_ACCESS_DENIED);
    EXPECT_EQ(m_server.Calls(), (std::vector<std::string>{"Init", "Start"}));
}

TEST_F(ServiceEntryTest, AServiceWhoseServerCannotListenReportsStoppedWithTheError) {
    ASSERT_TRUE(m_service.InstallService()) << GetLastError();
    m_server.m_startResult = E_FAIL;
    m_server.m_startError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(RunServiceProcess(m_service, m_log, {u"sentrak"}), int(ERROR_ACCESS_DENIED));
    const SERVICE_STATUS status = Stored();
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(status.dwWin32ExitCode, ERROR_ACCESS_DENIED) << "systemd and sentrak -v see why";
}

TEST_F(ServiceEntryTest, AServiceTheDispatcherRefusesEndsWithTheRefusal) {
    ASSERT_TRUE(m_service.InstallService()) << GetLastError();
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Services\\Zelmor Lumetra", 0,
                            KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    const DWORD disabled = SERVICE_DISABLED;
    ASSERT_EQ(RegSetValueExW(key, u"Start", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&disabled), sizeof disabled),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RunServiceProcess(m_service, m_log, {u"sentrak"}), 1) << "ERROR_SERVICE_DISABLED, cut to 8 bits";
    EXPECT_TRUE(m_server.Calls().empty());
}

TEST(ProcessExitStatus, AFailureNeverReadsAsSuccess) {
    const std::pair<DWORD, int> cases[] = {{0, 0}, {87, 87}, {255, 255}, {256, 1}, {512, 1}, {10048, 1}};
    for (const auto& [code, status] : cases) EXPECT_EQ(ProcessExitStatus(code), status) << code;
}

}  // namespace
