#include "NTService.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "HostTestSupport.h"
#include "base/sync.h"
#include "scoped_root.h"
#include "service/power_status.h"
#include "service/version.h"

namespace {

TEST(NTService, TheStatusRecordAcceptsControlsByTheSystemVersion) {
    struct Case {
        plat::WindowsVersion version;
        DWORD accepted;
    };
    const Case cases[] = {{{4, 0, 1381}, 0x07}, {{5, 0, 2195}, 0x47}, {{5, 1, 2600}, 0xC7}, {{6, 0, 6000}, 0xC7}};
    for (const Case& c : cases) {
        plat::ScopedReportedVersion version(c.version);
        CNTService service(u"Zelmor Lumetra");
        const SERVICE_STATUS status = service.Status();
        EXPECT_EQ(status.dwControlsAccepted, c.accepted) << int(c.version.major) << "." << int(c.version.minor);
        EXPECT_EQ(status.dwServiceType, SERVICE_WIN32_OWN_PROCESS);
        EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
        EXPECT_EQ(status.dwWin32ExitCode, 0u);
        EXPECT_EQ(WaitForSingleObject(service.StopEvent(), 0), WAIT_TIMEOUT);
    }
}

TEST(NTService, TheFirstInstanceIsTheProcessInstanceAndLongNamesAreCut) {
    const std::u16string long_name(70, u'n');
    CNTService first(long_name.c_str());
    CNTService second(u"other");
    EXPECT_EQ(CNTService::Instance(), &first);
    EXPECT_EQ(std::u16string(first.ServiceName()), long_name.substr(0, 63));
}

// Power status: the AC line of a built power-supply tree.
class PowerTest : public ::testing::Test {
protected:
    void SetAcLine(const char* online) {
        std::filesystem::create_directories(m_dir + "/AC");
        std::ofstream(m_dir + "/AC/type") << "Mains\n";
        std::ofstream(m_dir + "/AC/online") << online << "\n";
    }
    ScopedRoot m_root;
    std::string m_dir = m_root.Dir() + "/power";
    plat::ScopedPowerSupplyRoot m_power{m_dir};
};

TEST_F(PowerTest, PrepareRunAndPowerStatusChangesFollowTheAcLine) {
    CNTService service(u"Zelmor Lumetra");
    SetAcLine("0");
    EXPECT_TRUE(service.PrepareRun());
    EXPECT_EQ(service.OnBattery(), 1u);
    SetAcLine("1");
    EXPECT_EQ(service.HandlePowerEvent(PBT_APMPOWERSTATUSCHANGE), ERROR_SUCCESS);
    EXPECT_EQ(service.OnBattery(), 0u);
    SetAcLine("0");
    EXPECT_EQ(service.HandlePowerEvent(PBT_APMPOWERSTATUSCHANGE), ERROR_SUCCESS);
    EXPECT_EQ(service.OnBattery(), 1u);

    for (DWORD quiet : {0u, 2u, 4u, 6u, 7u, 9u, 18u}) EXPECT_EQ(service.HandlePowerEvent(quiet), 0u) << quiet;
    for (DWORD other : {1u, 3u, 5u, 8u, 11u, 0x8013u}) EXPECT_EQ(service.HandlePowerEvent(other), 120u) << other;
}

TEST_F(PowerTest, WithoutPowerEventsPrepareRunLeavesTheFlag) {
    plat::ScopedReportedVersion nt4({4, 0, 1381});
    CNTService service(u"Zelmor Lumetra");
    SetAcLine("0");
    EXPECT_TRUE(service.PrepareRun());
    EXPECT_EQ(service.OnBattery(), 0u);
}

// Execute's stop path on the manual clock.
class ExecuteTest : public ::testing::Test {
protected:
    // Runs Execute, signals the stop event once the server is up and moves
    // the clock until the server is stopped.
    void RunToStop() {
        std::thread execute([&] { m_service.Execute(); });
        m_server.WaitFor("Start");
        m_stopTick = m_clock->TickMs();
        SetEvent(m_service.StopEvent());
        while (m_server.m_stopTick == 0) {
            m_clock->Advance(10);
            std::this_thread::yield();
        }
        execute.join();
    }
    std::vector<std::uint64_t> SleepsBetweenQuestions() const {
        std::vector<std::uint64_t> gaps;
        for (std::size_t i = 1; i < m_server.m_countTicks.size(); ++i)
            gaps.push_back(m_server.m_countTicks[i] - m_server.m_countTicks[i - 1]);
        return gaps;
    }

    plat::ScopedManualClock m_clock;
    FakeServer m_server;
    CNTService m_service{u"Zelmor Lumetra", &m_server};
    std::uint64_t m_stopTick = 0;
};

TEST_F(ExecuteTest, ConnectionsThatStayOpenAreGivenEightQuarterSeconds) {
    m_server.m_connections = 2;
    RunToStop();
    EXPECT_EQ(m_server.m_countTicks.size(), 8u) << "asked before each of the 8 waits";
    for (std::uint64_t gap : SleepsBetweenQuestions()) EXPECT_GE(gap, 250u);
    EXPECT_GE(m_server.m_stopTick - m_stopTick, 2000u);
    EXPECT_EQ(m_server.Calls(), (std::vector<std::string>{"Init", "Start", "RequestClose", "Stop"}));
    ASSERT_FALSE(m_server.m_countTicks.empty());
    EXPECT_LE(m_server.m_requestCloseTick, m_server.m_countTicks.front())
        << "the clients hear the close request before the first wait";
}

TEST_F(ExecuteTest, TheServerStopsAsSoonAsTheLastConnectionHasClosed) {
    m_server.m_connections = 2;
    m_server.m_closeAfter = 2;  // the 3rd and 4th questions see one and then no connection
    RunToStop();
    EXPECT_EQ(m_server.m_countTicks.size(), 4u);
    for (std::uint64_t gap : SleepsBetweenQuestions()) EXPECT_GE(gap, 250u);
}

TEST_F(ExecuteTest, AServerThatFailsToComeUpEndsExecuteAtOnce) {
    m_server.m_initResult = E_FAIL;
    m_service.Execute();
    EXPECT_EQ(m_server.Calls(), (std::vector<std::string>{"Init"}));
    FakeServer no_listener;
    no_listener.m_startResult = E_FAIL;
    CNTService service(u"Zelmor Lumetra", &no_listener);
    service.Execute();
    EXPECT_EQ(no_listener.Calls(), (std::vector<std::string>{"Init", "Start"}));
}

}  // namespace
