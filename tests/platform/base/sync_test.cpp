#include "base/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "base/clock_advancer.h"
#include "base/last_error.h"
#include "base/thread.h"
#include "base/win_errors.h"

namespace {

TEST(Events, ManualResetStaysSignalledAutoResetReleasesOneWait) {
    HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE automatic = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    SetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);

    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT) << "auto-reset must reset on a satisfied wait";
    CloseHandle(manual);
    CloseHandle(automatic);
}

TEST(Waits, WaitAnyReturnsTheFirstSignalledIndex) {
    std::vector<HANDLE> events;
    for (int i = 0; i < 64; ++i) events.push_back(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    SetEvent(events[41]);
    SetEvent(events[50]);
    EXPECT_EQ(WaitForMultipleObjects(64, events.data(), FALSE, 0), WAIT_OBJECT_0 + 41);
    EXPECT_EQ(WaitForMultipleObjects(64, events.data(), TRUE, 0), WAIT_TIMEOUT);
    for (HANDLE e : events) SetEvent(e);
    EXPECT_EQ(WaitForMultipleObjects(64, events.data(), TRUE, 0), WAIT_OBJECT_0);
    for (HANDLE e : events) CloseHandle(e);
}

TEST(Waits, BadArgumentsFailInsteadOfCrashing) {
    HANDLE e = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    ASSERT_TRUE(CloseHandle(e));
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_FAILED) << "closed handle";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x7777), 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(e));
    EXPECT_FALSE(SetEvent(e));

    std::vector<HANDLE> many(65, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(65, many.data(), FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WaitForMultipleObjects(0, many.data(), FALSE, 0), WAIT_FAILED);
}

TEST(Waits, TimeOutFollowsTheManualClock) {
    plat::ScopedManualClock clock;
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // Another thread moves time on in small steps; the wait must last until
    // the manual clock, not the wall clock, has passed the time-out.
    plat::ClockAdvancer advancer(*clock, 250);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(WaitForSingleObject(e, 5000), WAIT_TIMEOUT);
    EXPECT_GE(GetTickCount64() - start, 5000u) << "timed out before the clock reached the deadline";
    CloseHandle(e);
}

TEST(Waits, SetFromAnotherThreadWakesAnInfiniteWait) {
    HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE setter = plat::StartThread([&] {
        SetEvent(e);
        return DWORD{0};
    });
    EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(setter, INFINITE), WAIT_OBJECT_0);
    CloseHandle(setter);
    CloseHandle(e);
}

// Each waiter sleeps on its own wake-up: a Set that lands while the other
// thread is between its check and its sleep must still wake it, at once
// and not through a time-out (the players' waits have none; only the
// referee's has, so a lost wake-up fails the test instead of hanging it).
TEST(Waits, PingPongOfInfiniteWaitsNeverLosesAWakeUp) {
    constexpr int kRounds = 20000;
    const HANDLE ping = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const HANDLE pong = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const auto player = [&](HANDLE mine, HANDLE theirs, bool serves) {
        // A wait on several objects, one of which never fires.
        const HANDLE waits[] = {never, mine};
        for (int i = 0; i < kRounds; ++i) {
            if (serves) SetEvent(theirs);
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return DWORD{1};
            if (!serves) SetEvent(theirs);
        }
        return DWORD{0};
    };
    const HANDLE players[] = {plat::StartThread([&] { return player(pong, ping, true); }),
                              plat::StartThread([&] { return player(ping, pong, false); })};
    ASSERT_EQ(WaitForMultipleObjects(2, players, TRUE, 60000), WAIT_OBJECT_0) << "a wake-up was lost";
    for (HANDLE t : players) {
        DWORD code = 9;
        ASSERT_TRUE(GetExitCodeThread(t, &code));
        EXPECT_EQ(code, 0u);
        CloseHandle(t);
    }
    for (HANDLE h : {ping, pong, never}) CloseHandle(h);
}

TEST(Threads, HandleSignalsAtExitWithTheExitCode) {
    static DWORD exitValue = 77;
    DWORD id = 0;
    HANDLE t = CreateThread(nullptr, 0, [](LPVOID p) -> DWORD { return *static_cast<DWORD*>(p); },
                            &exitValue, 0, &id);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    ASSERT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 77u);
    CloseHandle(t);
    EXPECT_EQ(CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, CREATE_SUSPENDED, nullptr),
              nullptr);
}

TEST(CriticalSections, AreRecursiveAndExclusive) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EXPECT_TRUE(TryEnterCriticalSection(&cs)) << "the owner re-enters";
    std::atomic<BOOL> other{TRUE};
    std::thread([&] { other = TryEnterCriticalSection(&cs); }).join();
    EXPECT_FALSE(other.load());
    LeaveCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    std::thread([&] {
        other = TryEnterCriticalSection(&cs);
        if (other) LeaveCriticalSection(&cs);
    }).join();
    EXPECT_TRUE(other.load());
    DeleteCriticalSection(&cs);
}

TEST(Interlocked, ReturnValuesFollowWin32) {
    volatile LONG v = 5;
    EXPECT_EQ(InterlockedIncrement(&v), 6);
    EXPECT_EQ(InterlockedDecrement(&v), 5);
    EXPECT_EQ(InterlockedExchange(&v, 9), 5);
    EXPECT_EQ(InterlockedCompareExchange(&v, 1, 8), 9) << "no exchange when the comparand differs";
    EXPECT_EQ(v, 9);
    EXPECT_EQ(InterlockedCompareExchange(&v, 1, 9), 9);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(InterlockedExchangeAdd(&v, 10), 1);

    volatile LONG counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) InterlockedIncrement(&counter);
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 40000);
}

}  // namespace
