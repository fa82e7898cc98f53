#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "registry/registry.h"
#include "service/service_database.h"
#include "service/systemd_unit.h"
#include "service_test_util.h"

namespace {

using plat::service::detail::ReadStatus;
using plat::service::detail::StatusRecord;
using plat::service::detail::WriteStatus;

DWORD ReadDword(const char16_t* path, const char16_t* name) {
    HKEY key = nullptr;
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0xFFFFFFFF;
    RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return value;
}

bool KeyExists(const char16_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

constexpr char16_t kKey[] = u"SYSTEM\\CurrentControlSet\\Services\\Disk Watch";

TEST_F(ManagerTest, CreateRecordsTheServiceAndWritesAnEnabledUnit) {
    SC_HANDLE service = Install(u"Disk Watch");
    ASSERT_NE(service, nullptr) << GetLastError();
    EXPECT_EQ(ReadDword(kKey, u"Type"), SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS);
    EXPECT_EQ(ReadDword(kKey, u"Start"), SERVICE_AUTO_START);
    EXPECT_EQ(ReadDword(kKey, u"ErrorControl"), SERVICE_ERROR_NORMAL);
    const std::string unit = ReadUnit("disk-watch.service");
    EXPECT_NE(unit.find("Description=Disk Watch\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("ExecStart=\"/usr/sbin/sentrak\"\n"), std::string::npos) << unit;
    EXPECT_EQ(unit.find("User="), std::string::npos) << unit;
    EXPECT_NE(unit.find("WantedBy=multi-user.target"), std::string::npos) << unit;
    EXPECT_TRUE(std::filesystem::is_symlink(LinkPath("disk-watch.service")));

    SC_HANDLE again = OpenServiceW(m_manager, u"DISK WATCH", SERVICE_ALL_ACCESS);
    EXPECT_NE(again, nullptr) << "names compare without regard to case";
    EXPECT_EQ(Install(u"disk watch"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_EXISTS);

    ASSERT_TRUE(DeleteService(service)) << GetLastError();
    EXPECT_FALSE(KeyExists(kKey));
    EXPECT_FALSE(std::filesystem::exists(UnitPath("disk-watch.service")));
    EXPECT_FALSE(std::filesystem::exists(LinkPath("disk-watch.service")));
    EXPECT_EQ(OpenServiceW(m_manager, u"Disk Watch", SERVICE_QUERY_CONFIG), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_FALSE(DeleteService(again));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
    EXPECT_TRUE(CloseServiceHandle(service));
    EXPECT_TRUE(CloseServiceHandle(again));
    EXPECT_FALSE(CloseServiceHandle(service));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(ManagerTest, DemandStartIsNotEnabledAndAUserAccountRunsTheUnitAsThatUser) {
    ASSERT_NE(Install(u"Quiet", SERVICE_DEMAND_START, u".\\root"), nullptr) << GetLastError();
    EXPECT_FALSE(std::filesystem::exists(LinkPath("quiet.service")));
    EXPECT_NE(ReadUnit("quiet.service").find("User=root\n"), std::string::npos);
}

TEST_F(ManagerTest, AnExistingUnitFileIsNotOverwritten) {
    std::filesystem::create_directories(m_root.Dir() + "/systemd");
    std::ofstream(UnitPath("taken.service")) << "someone else's\n";
    EXPECT_EQ(Install(u"Taken"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_EXISTS);
    EXPECT_EQ(ReadUnit("taken.service"), "someone else's\n");
    EXPECT_FALSE(KeyExists(u"SYSTEM\\CurrentControlSet\\Services\\Taken")) << "the database entry is taken back";
}

TEST_F(ManagerTest, BadArgumentsAreRefused) {
    struct Case {
        const char* what;
        const char16_t* name;
        DWORD type;
        DWORD start;
        const char16_t* path;
        const char16_t* dependencies;
        const char16_t* account;
        DWORD error;
    };
    const Case cases[] = {
        {"empty name", u"", SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, u"/bin/x", nullptr, nullptr,
         ERROR_INVALID_NAME},
        {"backslash", u"a\\b", SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, u"/bin/x", nullptr, nullptr,
         ERROR_INVALID_NAME},
        {"shared process", u"s", SERVICE_WIN32_SHARE_PROCESS, SERVICE_AUTO_START, u"/bin/x", nullptr, nullptr,
         ERROR_INVALID_PARAMETER},
        {"driver", u"s", SERVICE_KERNEL_DRIVER, SERVICE_AUTO_START, u"/bin/x", nullptr, nullptr,
         ERROR_INVALID_PARAMETER},
        {"boot start", u"s", SERVICE_WIN32_OWN_PROCESS, SERVICE_BOOT_START, u"/bin/x", nullptr, nullptr,
         ERROR_INVALID_PARAMETER},
        {"relative path", u"s", SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, u"bin/x", nullptr, nullptr,
         ERROR_INVALID_PARAMETER},
        {"dependencies", u"s", SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, u"/bin/x", u"Tcpip", nullptr,
         ERROR_INVALID_PARAMETER},
        {"unknown user", u"s", SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, u"/bin/x", nullptr,
         u"no-such-user-here", ERROR_INVALID_SERVICE_ACCOUNT},
        {"other domain", u"s", SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, u"/bin/x", nullptr, u"CORP\\root",
         ERROR_INVALID_SERVICE_ACCOUNT},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(CreateServiceW(m_manager, c.name, nullptr, SERVICE_ALL_ACCESS, c.type, c.start,
                                 SERVICE_ERROR_NORMAL, c.path, nullptr, nullptr, c.dependencies, c.account, nullptr),
                  nullptr)
            << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
    EXPECT_FALSE(std::filesystem::exists(m_root.Dir() + "/systemd/s.service"));
    EXPECT_EQ(OpenSCManagerW(u"\\\\elsewhere", nullptr, SC_MANAGER_CONNECT), nullptr);
    EXPECT_EQ(GetLastError(), RPC_S_SERVER_UNAVAILABLE);
    EXPECT_EQ(OpenSCManagerW(nullptr, u"ServicesFailed", SC_MANAGER_CONNECT), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_DATABASE_DOES_NOT_EXIST);
}

TEST(SystemdUnit, NamesAndTextsAreEscapedForSystemd) {
    using namespace plat::service::detail;
    EXPECT_EQ(UnitName(u"Zelmor Lumetra"), u"zelmor-lumetra.service");
    EXPECT_EQ(UnitName(u"a/b:c\u00e9_d.e"), u"a-b-c-_d.e.service");
    ServiceConfig config;
    config.name = u"x";
    config.displayName = u"100% sure\nreally";
    config.imagePath = u"/opt/my tools/run \"it\"\\$HOME%i";
    const std::string text = UnitText(config, "");
    EXPECT_NE(text.find("Description=100%% sure really\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ExecStart=\"/opt/my tools/run \\\"it\\\"\\\\$$HOME%%i\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nTimeoutStopSec=30\n"), std::string::npos) << "the stop states its own bound:\n" << text;
}

class StatusTest : public ManagerTest {
protected:
    void SetUp() override {
        ManagerTest::SetUp();
        m_service = Install(u"Disk Watch");
        ASSERT_NE(m_service, nullptr) << GetLastError();
    }
    SERVICE_STATUS Query() {
        SERVICE_STATUS status{};
        EXPECT_TRUE(QueryServiceStatus(m_service, &status)) << GetLastError();
        return status;
    }
    SC_HANDLE m_service = nullptr;
};

TEST_F(StatusTest, AnInstalledServiceThatNeverRanIsStoppedAndTakesNoControls) {
    EXPECT_EQ(Query().dwCurrentState, SERVICE_STOPPED);
    SERVICE_STATUS status{};
    EXPECT_FALSE(ControlService(m_service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
    EXPECT_FALSE(ControlService(m_service, SERVICE_CONTROL_SHUTDOWN, &status));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(StatusTest, ARecordLeftByAGoneProcessReadsAsAborted) {
    StatusRecord record{{SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, SERVICE_ACCEPT_STOP, 0, 0, 0, 0},
                        static_cast<DWORD>(getpid()), 1 /* not this process's start time */};
    ASSERT_EQ(WriteStatus(u"Disk Watch", record), ERROR_SUCCESS);
    const SERVICE_STATUS status = Query();
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(status.dwWin32ExitCode, ERROR_PROCESS_ABORTED);
}

TEST_F(StatusTest, ControlsReachAnotherProcessAsSignals) {
    const pid_t child = fork();
    if (child == 0) {
        for (;;) pause();
    }
    ASSERT_GT(child, 0);
    StatusRecord record{{SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, SERVICE_ACCEPT_PAUSE_CONTINUE, 0, 0, 0, 0},
                        static_cast<DWORD>(child), plat::service::detail::ProcessStartTime(child)};
    ASSERT_EQ(WriteStatus(u"Disk Watch", record), ERROR_SUCCESS);
    SERVICE_STATUS status{};
    EXPECT_FALSE(ControlService(m_service, SERVICE_CONTROL_STOP, &status)) << "stop is not accepted";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_SERVICE_CONTROL);
    EXPECT_FALSE(ControlService(m_service, 200, &status)) << "no signal carries a user-defined control";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_SERVICE_CONTROL);
    EXPECT_TRUE(ControlService(m_service, SERVICE_CONTROL_PAUSE, &status)) << GetLastError();
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    int wait_status = 0;
    ASSERT_EQ(waitpid(child, &wait_status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(wait_status));
    EXPECT_EQ(WTERMSIG(wait_status), SIGUSR1);
    EXPECT_EQ(Query().dwWin32ExitCode, ERROR_PROCESS_ABORTED) << "the process is gone";
}

}  // namespace
