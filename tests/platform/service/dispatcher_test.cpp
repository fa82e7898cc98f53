#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "service/service_database.h"
#include "service_test_util.h"

namespace {

using plat::service::SendControl;

struct Control {
    DWORD control;
    DWORD eventType;
    bool operator==(const Control&) const = default;
};

// The state of the one service the tests run: what its handler saw, and
// the switch that ends its main function.
struct TestService {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<Control> controls;
    SERVICE_STATUS_HANDLE handle = nullptr;
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, 0, 0, 0, 0};
    bool running = false;
    bool stop = false;
    bool reportStopped = true;
    bool release = true;  // false holds the main function after a stop

    template <typename Pred>
    void WaitFor(Pred pred) {
        std::unique_lock lock(mutex);
        cv.wait(lock, pred);
    }
    void Report(DWORD state) {
        status.dwCurrentState = state;
        SetServiceStatus(handle, &status);
    }
};

TestService* g_service = nullptr;

DWORD Handler(DWORD control, DWORD event_type, void*, void*) {
    std::lock_guard lock(g_service->mutex);
    g_service->controls.push_back({control, event_type});
    if (control == SERVICE_CONTROL_STOP) {
        g_service->Report(SERVICE_STOP_PENDING);
        g_service->stop = true;
    }
    g_service->cv.notify_all();
    return control == SERVICE_CONTROL_SHUTDOWN ? 1234 : NO_ERROR;
}

void Main(DWORD argc, LPWSTR* argv) {
    TestService& s = *g_service;
    EXPECT_EQ(argc, 1u);
    EXPECT_EQ(std::u16string(argv[0]), u"Disk Watch");
    {
        std::lock_guard lock(s.mutex);
        s.handle = RegisterServiceCtrlHandlerExW(u"disk watch", Handler, nullptr);
        if (!s.handle) return;
        s.status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE |
                                      SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_POWEREVENT;
        s.Report(SERVICE_RUNNING);
        s.running = true;
        s.cv.notify_all();
    }
    s.WaitFor([&] { return s.stop && s.release; });
    std::lock_guard lock(s.mutex);
    if (s.reportStopped) s.Report(SERVICE_STOPPED);
}

class DispatcherTest : public ManagerTest {
protected:
    void SetUp() override {
        ManagerTest::SetUp();
        g_service = &m_state;
        ASSERT_NE(Install(u"Disk Watch"), nullptr) << GetLastError();
    }
    void TearDown() override {
        if (m_thread.joinable()) m_thread.join();
        g_service = nullptr;
        ManagerTest::TearDown();
    }
    void Start() {
        m_thread = std::thread([this] {
            SERVICE_TABLE_ENTRYW table[] = {{m_name.data(), Main}, {nullptr, nullptr}};
            m_result = StartServiceCtrlDispatcherW(table);
        });
        m_state.WaitFor([&] { return m_state.running; });
    }
    void Finish() {
        m_thread.join();
        EXPECT_TRUE(m_result);
    }
    void WaitForControls(std::size_t n) {
        m_state.WaitFor([&] { return m_state.controls.size() >= n; });
    }
    std::optional<plat::service::detail::StatusRecord> Record() {
        return plat::service::detail::ReadStatus(u"Disk Watch");
    }

    TestService m_state;
    std::u16string m_name = u"Disk Watch";
    std::thread m_thread;
    BOOL m_result = FALSE;
};

TEST_F(DispatcherTest, SignalsBecomeControlsAndStopEndsTheDispatcher) {
    Start();
    const auto running = Record();
    ASSERT_TRUE(running);
    EXPECT_EQ(running->status.dwCurrentState, SERVICE_RUNNING);
    EXPECT_EQ(running->processId, static_cast<DWORD>(getpid()));

    const std::pair<int, Control> signals[] = {
        {SIGUSR1, {SERVICE_CONTROL_PAUSE, 0}},
        {SIGUSR2, {SERVICE_CONTROL_CONTINUE, 0}},
        {SIGHUP, {SERVICE_CONTROL_INTERROGATE, 0}},
        {SIGPWR, {SERVICE_CONTROL_POWEREVENT, PBT_APMPOWERSTATUSCHANGE}},
    };
    std::size_t n = 0;
    for (const auto& [signal_number, control] : signals) {
        kill(getpid(), signal_number);
        WaitForControls(++n);
        std::lock_guard lock(m_state.mutex);
        EXPECT_EQ(m_state.controls.back(), control) << "signal " << signal_number;
    }
    kill(getpid(), SIGTERM);
    Finish();
    EXPECT_EQ(m_state.controls.back(), (Control{SERVICE_CONTROL_STOP, 0}));
    EXPECT_EQ(Record()->status.dwCurrentState, SERVICE_STOPPED);
}

TEST_F(DispatcherTest, TheInProcessControllerDeliversSystemEventsAndReportsRefusals) {
    m_state.release = false;
    Start();
    EXPECT_EQ(SendControl(SERVICE_CONTROL_SHUTDOWN), 1234u) << "the handler's own result";
    EXPECT_EQ(SendControl(SERVICE_CONTROL_POWEREVENT, PBT_APMSUSPEND), NO_ERROR);
    EXPECT_EQ(SendControl(SERVICE_CONTROL_SESSIONCHANGE, 5), ERROR_INVALID_SERVICE_CONTROL) << "not accepted";
    EXPECT_EQ(SendControl(200), NO_ERROR) << "user-defined controls are always delivered";

    SC_HANDLE service = OpenServiceW(m_manager, u"Disk Watch", SERVICE_ALL_ACCESS);
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status)) << GetLastError();
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOP_PENDING) << "the handler ran before ControlService returned";
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_PAUSE, &status));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    {
        std::lock_guard lock(m_state.mutex);
        m_state.release = true;
        m_state.cv.notify_all();
    }
    Finish();
    const std::vector<Control> expected = {{SERVICE_CONTROL_SHUTDOWN, 0},
                                           {SERVICE_CONTROL_POWEREVENT, PBT_APMSUSPEND},
                                           {200, 0},
                                           {SERVICE_CONTROL_STOP, 0}};
    EXPECT_EQ(m_state.controls, expected);
    EXPECT_EQ(SendControl(SERVICE_CONTROL_INTERROGATE), ERROR_SERVICE_NOT_ACTIVE) << "no dispatcher any more";
    CloseServiceHandle(service);
}

TEST_F(DispatcherTest, AMainFunctionThatEndsWithoutReportingStoppedIsRecordedAsAborted) {
    m_state.reportStopped = false;
    Start();
    EXPECT_EQ(SendControl(SERVICE_CONTROL_STOP), NO_ERROR);
    Finish();
    const auto record = Record();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(record->status.dwWin32ExitCode, ERROR_PROCESS_ABORTED);
}

TEST_F(DispatcherTest, TheDispatcherRunsOnlyAnInstalledServiceNotRunningElsewhere) {
    std::u16string unknown = u"Nobody";
    SERVICE_TABLE_ENTRYW table[] = {{unknown.data(), Main}, {nullptr, nullptr}};
    EXPECT_FALSE(StartServiceCtrlDispatcherW(table));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
    std::u16string disabled = u"Off";
    ASSERT_NE(Install(disabled.c_str(), SERVICE_DISABLED), nullptr);
    table[0].lpServiceName = disabled.data();
    EXPECT_FALSE(StartServiceCtrlDispatcherW(table));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DISABLED);

    plat::service::detail::StatusRecord elsewhere{
        {SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, 0, 0, 0, 0, 0}, static_cast<DWORD>(getppid()), 0};
    ASSERT_EQ(plat::service::detail::WriteStatus(u"Disk Watch", elsewhere), ERROR_SUCCESS);
    table[0].lpServiceName = m_name.data();
    EXPECT_FALSE(StartServiceCtrlDispatcherW(table));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_ALREADY_RUNNING);
}

TEST(DispatcherCalls, OutsideADispatcherNothingRegistersOrReports) {
    EXPECT_EQ(RegisterServiceCtrlHandlerExW(u"Disk Watch", Handler, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_IN_EXE);
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, 0, 0, 0, 0, 0};
    EXPECT_FALSE(SetServiceStatus(reinterpret_cast<SERVICE_STATUS_HANDLE>(1), &status));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(plat::service::LookupAdvapiProc("RegisterServiceCtrlHandlerExW"),
              reinterpret_cast<void*>(&RegisterServiceCtrlHandlerExW));
    EXPECT_EQ(plat::service::LookupAdvapiProc("NoSuchEntry"), nullptr);
}

}  // namespace
