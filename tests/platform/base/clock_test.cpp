#include "base/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/clock_advancer.h"

namespace {

TEST(ClockReplacement, ManualClockDrivesEveryEntryPoint) {
    plat::ScopedManualClock clock;
    const ULONGLONG tick0 = GetTickCount64();
    FILETIME ft0{};
    GetSystemTimeAsFileTime(&ft0);
    clock->Advance(1500);
    FILETIME ft1{};
    GetSystemTimeAsFileTime(&ft1);
    EXPECT_EQ(GetTickCount64() - tick0, 1500u);
    EXPECT_EQ(plat::FileTimeToU64(ft1) - plat::FileTimeToU64(ft0), 1500u * plat::kFileTimePerMs);
}

// A date deadline becomes the tick that date is reached at, whichever
// clock runs: a part of a millisecond counts as a whole one, a past date is now.
TEST(ClockReplacement, ADateBecomesTheTickItIsReachedAt) {
    plat::ManualClock manual;
    const std::uint64_t now = manual.NowFileTime();
    EXPECT_EQ(manual.TickAtFileTime(now + 500 * plat::kFileTimePerMs), manual.TickMs() + 500);
    EXPECT_EQ(manual.TickAtFileTime(now + 1), manual.TickMs() + 1);
    EXPECT_EQ(manual.TickAtFileTime(now - plat::kFileTimePerMs), manual.TickMs());
    plat::SystemClock system;
    const std::uint64_t tick = system.TickMs();
    const std::uint64_t at = system.TickAtFileTime(system.NowFileTime() + 60000 * plat::kFileTimePerMs);
    EXPECT_GE(at, tick + 59000);
    EXPECT_LE(at, system.TickMs() + 60001);
}

TEST(ClockReplacement, TickCountWrapsAt32Bits) {
    plat::ScopedManualClock clock;
    clock->SetTick(0xFFFFFFF0ull);
    const DWORD before = GetTickCount();
    clock->Advance(0x20);
    const DWORD after = GetTickCount();
    EXPECT_LT(after, before);
    EXPECT_EQ(static_cast<DWORD>(after - before), 0x20u) << "elapsed time survives the wrap";
}

TEST(ClockReplacement, SleepEndsOnlyWhenTheClockHasAdvancedEnough) {
    plat::ScopedManualClock clock;
    plat::ClockAdvancer advancer(*clock, 500);
    const ULONGLONG start = GetTickCount64();
    Sleep(10000);
    EXPECT_GE(GetTickCount64() - start, 10000u);
}

TEST(TimeConversion, BrokenDownUtcRoundTrips) {
    SYSTEMTIME st{2007, 3, 0, 5, 14, 2, 9, 31};
    FILETIME ft{};
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    SYSTEMTIME back{};
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    EXPECT_EQ(back.wYear, 2007);
    EXPECT_EQ(back.wMonth, 3);
    EXPECT_EQ(back.wDay, 5);
    EXPECT_EQ(back.wDayOfWeek, 1) << "5 March 2007 was a Monday";
    EXPECT_EQ(back.wHour, 14);
    EXPECT_EQ(back.wMinute, 2);
    EXPECT_EQ(back.wSecond, 9);
    EXPECT_EQ(back.wMilliseconds, 31);
    // 1601-01-01 is FILETIME zero.
    SYSTEMTIME epoch{1601, 1, 0, 1, 0, 0, 0, 0};
    ASSERT_TRUE(SystemTimeToFileTime(&epoch, &ft));
    EXPECT_EQ(plat::FileTimeToU64(ft), 0u);
}

TEST(TimeConversion, RejectsImpossibleDates) {
    FILETIME ft{};
    SYSTEMTIME bad{2007, 13, 0, 5, 0, 0, 0, 0};
    EXPECT_FALSE(SystemTimeToFileTime(&bad, &ft));
    FILETIME negative{0, 0x80000000u};
    SYSTEMTIME st{};
    EXPECT_FALSE(FileTimeToSystemTime(&negative, &st));
}

TEST(TimeConversion, LocalTimeFollowsTheZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "CET-1", 1);
    tzset();
    FILETIME utc = plat::U64ToFileTime(plat::ManualClock::kDefaultStart);
    FILETIME local{};
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(plat::FileTimeToU64(local) - plat::FileTimeToU64(utc), 3600u * plat::kFileTimePerSecond);
    FILETIME back{};
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(plat::FileTimeToU64(back), plat::FileTimeToU64(utc));
    if (old) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
}

}  // namespace
