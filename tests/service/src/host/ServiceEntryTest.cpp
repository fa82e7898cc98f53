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

    // Runs the entry on a thread until the server is up, then sends SIGTERM.
    int RunUntilTerminated() {
        int exit_code = -1;
        std::thread entry([&] { exit_code = RunServiceProcess(m_service, m_log, {u"sentrak"}); });
        m_server.WaitFor("Start");
        kill(getpid(), SIGTERM);
        entry.join();
        return exit_code;
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
    EXPECT_EQ(RunUntilTerminated(), 0);
    EXPECT_EQ(m_server.Calls(), (std::vector<std::string>{"Init", "Start", "Stop"}));
    EXPECT_EQ(m_log.GetLevel(), 0);
}

TEST_F(ServiceEntryTest, InstalledTheServiceRunsUnderTheDispatcher) {
    ASSERT_TRUE(m_service.InstallService()) << GetLastError();
    EXPECT_EQ(RunUntilTerminated(), 0);
    EXPECT_EQ(m_server.Calls(), (std::vector<std::string>{"Init", "Start", "Stop"}));
    HKEY runtime = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Services\\Zelmor Lumetra\\Runtime", 0,
                           KEY_READ, &runtime),
              ERROR_SUCCESS)
        << "the dispatcher stored the service's status";
    RegCloseKey(runtime);
}

}  // namespace
