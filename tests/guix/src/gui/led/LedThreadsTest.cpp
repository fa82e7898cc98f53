// The window's worker threads on the platform's manual clock: the activity
// poll and its end after a failure, the change watch that turns a burst of
// changes into one refresh three seconds later, and the S.M.A.R.T. poll's
// pause and stop.
#include <atomic>
#include <chrono>
#include <thread>

#include "DriverLink.h"
#include "LedKernelFixture.h"
#include "LedThreads.h"
#include "Settings.h"
#include "SmartHandler.h"
#include "base/clock.h"
#include "base/clock_advancer.h"
#include "base/hresult.h"

namespace ledtest {
namespace {

class FakeWindow : public LedThreadClient {
public:
    bool WindowExists() const override { return true; }
    void RedrawActivity() override { ++redraws; }
    void PostDrivesChanged() override {
        posted_at = plat::CurrentClock().TickMs();
        ++posts;
    }
    std::atomic<int> redraws{0};
    std::atomic<int> posts{0};
    std::atomic<std::uint64_t> posted_at{0};
};

// Waits (real time, bounded) until `done` holds.
template <typename Done>
bool Eventually(Done done) {
    for (int i = 0; i < 5000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

class LedThreadsTest : public LedKernelTest {
protected:
    void SetUp() override {
        LedKernelTest::SetUp();
        Build(Scenario(DiskVolume(1, 0, 1, "SYSTEM"), R"("\\??\\C:": "\\Device\\HarddiskVolume1")"));
        ASSERT_EQ(m_link.PrepareDriver(), S_OK);
    }
    void TearDown() override {
        m_threads.StopAll();
        LedKernelTest::TearDown();
    }

    plat::ScopedManualClock m_clock;
    CRITICAL_SECTION m_drawing;
    CDriverLink m_link{m_drawing};
    FakeWindow m_window;
    CLedThreads m_threads{m_link, m_window};
};

TEST_F(LedThreadsTest, ThePollRedrawsAfterEveryAnswerAndEndsAfterAFailure) {
    m_threads.StartPolling();
    {
        plat::ClockAdvancer advance(*m_clock, 10);
        ASSERT_TRUE(Eventually([&] { return m_window.redraws >= 3; }));
        Run("hold C: read 1");
        ASSERT_TRUE(Eventually([&] { return m_link.IsReading('C'); }));
        StopHost();
        ASSERT_TRUE(Eventually([&] { return !m_threads.IsPolling(); }));
    }
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_TRUE(m_link.IsReading('C')) << "the LEDs stay as last drawn";
    m_threads.StopAll();
    EXPECT_TRUE(Logged("PCBTH: <- (0)"));
}

TEST_F(LedThreadsTest, ABurstOfChangesGivesOneRefreshThreeSecondsAfterTheFirst) {
    m_threads.StartWatch();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the watch reach its wait
    const std::uint64_t first = plat::CurrentClock().TickMs();
    Run("label C: ONE");
    ASSERT_TRUE(Eventually([&] { return m_threads.IsWatchDelaying(); }));
    m_clock->Advance(400);
    Run("label C: TWO");
    m_clock->Advance(400);
    Run("label C: THREE");
    {
        plat::ClockAdvancer advance(*m_clock, 10);
        ASSERT_TRUE(Eventually([&] { return m_window.posts >= 1; }));
    }
    EXPECT_GE(m_window.posted_at - first, CLedThreads::kChangeDelayMs);
    EXPECT_LT(m_window.posted_at - first, CLedThreads::kChangeDelayMs + 100);
    m_clock->Advance(10000);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(m_window.posts, 1);
    // A later change is heard again.
    Run("label C: FOUR");
    {
        plat::ClockAdvancer advance(*m_clock, 10);
        ASSERT_TRUE(Eventually([&] { return m_window.posts >= 2; }));
    }
}

TEST_F(LedThreadsTest, StoppingEndsAWatchThatWaitsForAChange) {
    m_threads.StartWatch();
    m_threads.StartPolling();
    plat::ClockAdvancer advance(*m_clock, 10);
    m_threads.StopAll();
    EXPECT_FALSE(m_threads.IsWatching());
    EXPECT_EQ(m_window.posts, 0);
}

TEST_F(LedThreadsTest, TheSmartPollPausesItsIntervalInSecondsAndStopsWithinAStep) {
    CSmartHandler handler;  // never connected: a refresh costs nothing
    GuiSettings settings;
    settings.SMARTPollingIntervall = 600;
    m_threads.StartSmartPolling(handler, settings);
    ASSERT_TRUE(Eventually([&] { return m_threads.SmartCycles() == 1; }));
    m_clock->Advance(599 * 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(m_threads.SmartCycles(), 1) << "still pausing after 599 s";
    {
        plat::ClockAdvancer advance(*m_clock, 100);
        ASSERT_TRUE(Eventually([&] { return m_threads.SmartCycles() == 2; }));
    }
    // The pause is 1,000 steps of 600 ms: once the flag is cleared, the
    // step under way is the last.
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        m_threads.StopAll();
        stopped = true;
    });
    ASSERT_TRUE(Eventually([&] { return !m_threads.IsSmartPolling(); }));
    m_clock->Advance(600);
    const bool within_one_step = Eventually([&] { return stopped.load(); });
    if (!within_one_step) {
        plat::ClockAdvancer advance(*m_clock, 100);
        stopper.join();
    } else {
        stopper.join();
    }
    EXPECT_TRUE(within_one_step) << "a stop is noticed within one step";
    EXPECT_TRUE(Logged("SCBTH: Waiting 600 sec"));
}

}  // namespace
}  // namespace ledtest
