#include "base/clock.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

#include "base/last_error.h"
#include "base/win_errors.h"

namespace plat {
namespace {

std::mutex g_clockMutex;
std::shared_ptr<Clock> g_clock = std::make_shared<SystemClock>();
std::atomic<Clock*> g_clockRaw{g_clock.get()};

std::uint64_t TimespecMs(clockid_t id) {
    timespec ts{};
    clock_gettime(id, &ts);
    return std::uint64_t(ts.tv_sec) * 1000 + std::uint64_t(ts.tv_nsec) / 1000000;
}

}  // namespace

std::uint64_t SystemClock::NowFileTime() const {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return kUnixEpochAsFileTime + std::uint64_t(ts.tv_sec) * kFileTimePerSecond + std::uint64_t(ts.tv_nsec) / 100;
}

std::uint64_t SystemClock::TickMs() const { return TimespecMs(CLOCK_MONOTONIC); }

void SystemClock::Sleep(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void SystemClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                            std::uint64_t deadline_tick) {
    const std::uint64_t now = TickMs();
    if (deadline_tick <= now) return;
    cv.wait_for(lock, std::chrono::milliseconds(deadline_tick - now));
}

std::uint64_t SystemClock::SleepSliceMs(std::uint64_t deadline_tick) const {
    if (deadline_tick == kNoDeadline) return kNoDeadline;
    const std::uint64_t now = TickMs();
    return deadline_tick > now ? deadline_tick - now : 0;
}

namespace {

// Whole milliseconds (rounded up) from `now` until `filetime`, 0 once past.
std::uint64_t MsUntil(std::uint64_t filetime, std::uint64_t now) {
    return filetime <= now ? 0 : (filetime - now + kFileTimePerMs - 1) / kFileTimePerMs;
}

}  // namespace

std::uint64_t SystemClock::TickAtFileTime(std::uint64_t filetime) const {
    const std::uint64_t tick = TickMs();
    return tick + MsUntil(filetime, NowFileTime());
}

int PollTimeoutMs(std::uint64_t slice_ms) {
    if (slice_ms == Clock::kNoDeadline) return -1;
    return static_cast<int>(std::min<std::uint64_t>(slice_ms, INT32_MAX));
}

ManualClock::ManualClock(std::uint64_t start_filetime, std::uint64_t start_tick)
    : m_fileTime(start_filetime), m_tick(start_tick) {}

void ManualClock::Advance(std::uint64_t ms) {
    {
        std::lock_guard lock(m_sleepMutex);
        m_tick += ms;
        m_fileTime += ms * kFileTimePerMs;
    }
    m_sleepCv.notify_all();
}

// Advance moves the tick and the date together under the lock.
std::uint64_t ManualClock::TickAtFileTime(std::uint64_t filetime) const {
    std::lock_guard lock(m_sleepMutex);
    return m_tick.load() + MsUntil(filetime, m_fileTime.load());
}

void ManualClock::Sleep(std::uint32_t ms) {
    std::unique_lock lock(m_sleepMutex);
    const std::uint64_t deadline = m_tick.load() + ms;
    m_sleepCv.wait(lock, [&] { return m_tick.load() >= deadline; });
}

void ManualClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                            std::uint64_t deadline_tick) {
    if (deadline_tick <= m_tick.load()) return;
    // The caller's condition variable is not known to Advance, so the wait
    // is cut into short real-time slices; each returns to the caller, which
    // re-reads the tick. Tests therefore never wait on real time passing.
    cv.wait_for(lock, std::chrono::milliseconds(1));
}

// Advance does not know the sleeping thread, so it sleeps in short
// real-time slices and reads the tick after each (as WaitUntil does).
std::uint64_t ManualClock::SleepSliceMs(std::uint64_t deadline_tick) const {
    if (deadline_tick == kNoDeadline) return kNoDeadline;
    return deadline_tick > m_tick.load() ? 1 : 0;
}

Clock& CurrentClock() { return *g_clockRaw.load(std::memory_order_acquire); }

std::shared_ptr<Clock> InstallClock(std::shared_ptr<Clock> clock) {
    std::lock_guard lock(g_clockMutex);
    std::shared_ptr<Clock> previous = g_clock;
    g_clock = std::move(clock);
    g_clockRaw.store(g_clock.get(), std::memory_order_release);
    return previous;
}

ScopedManualClock::ScopedManualClock(std::uint64_t start_filetime)
    : m_clock(std::make_shared<ManualClock>(start_filetime)), m_previous(InstallClock(m_clock)) {}

ScopedManualClock::~ScopedManualClock() { InstallClock(m_previous); }

std::int64_t FileTimeToUnixSeconds(std::uint64_t filetime) {
    return (static_cast<std::int64_t>(filetime) - static_cast<std::int64_t>(kUnixEpochAsFileTime)) /
           static_cast<std::int64_t>(kFileTimePerSecond);
}

std::uint64_t UnixSecondsToFileTime(std::int64_t seconds) {
    return static_cast<std::uint64_t>(seconds * static_cast<std::int64_t>(kFileTimePerSecond) +
                                      static_cast<std::int64_t>(kUnixEpochAsFileTime));
}

}  // namespace plat

namespace {

// Offset of local time from UTC at the given UTC moment, in seconds.
long LocalOffsetSeconds(std::time_t utc) {
    std::tm local{};
    localtime_r(&utc, &local);
    return local.tm_gmtoff;
}

void BreakDown(std::uint64_t filetime, SYSTEMTIME* st) {
    const std::int64_t secs = plat::FileTimeToUnixSeconds(filetime);
    const auto rem100ns = static_cast<std::uint64_t>(filetime % plat::kFileTimePerSecond);
    std::time_t t = static_cast<std::time_t>(secs);
    std::tm tm{};
    gmtime_r(&t, &tm);
    st->wYear = static_cast<WORD>(tm.tm_year + 1900);
    st->wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    st->wDay = static_cast<WORD>(tm.tm_mday);
    st->wHour = static_cast<WORD>(tm.tm_hour);
    st->wMinute = static_cast<WORD>(tm.tm_min);
    st->wSecond = static_cast<WORD>(tm.tm_sec);
    st->wMilliseconds = static_cast<WORD>(rem100ns / plat::kFileTimePerMs);
}

}  // namespace

void GetSystemTimeAsFileTime(FILETIME* ft) {
    if (ft) *ft = plat::U64ToFileTime(plat::CurrentClock().NowFileTime());
}

DWORD GetTickCount() { return static_cast<DWORD>(plat::CurrentClock().TickMs()); }

ULONGLONG GetTickCount64() { return plat::CurrentClock().TickMs(); }

void Sleep(DWORD ms) { plat::CurrentClock().Sleep(ms); }

void GetSystemTime(SYSTEMTIME* st) {
    if (st) BreakDown(plat::CurrentClock().NowFileTime(), st);
}

void GetLocalTime(SYSTEMTIME* st) {
    if (!st) return;
    FILETIME utc = plat::U64ToFileTime(plat::CurrentClock().NowFileTime());
    FILETIME local{};
    FileTimeToLocalFileTime(&utc, &local);
    BreakDown(plat::FileTimeToU64(local), st);
}

BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st) {
    if (!ft || !st || (ft->dwHighDateTime & 0x80000000u)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    BreakDown(plat::FileTimeToU64(*ft), st);
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft) {
    if (!st || !ft || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 || st->wDay > 31 || st->wHour > 23 ||
        st->wMinute > 59 || st->wSecond > 59 || st->wMilliseconds > 999 || st->wYear < 1601) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::tm tm{};
    tm.tm_year = st->wYear - 1900;
    tm.tm_mon = st->wMonth - 1;
    tm.tm_mday = st->wDay;
    tm.tm_hour = st->wHour;
    tm.tm_min = st->wMinute;
    tm.tm_sec = st->wSecond;
    const std::int64_t secs = timegm(&tm);
    *ft = plat::U64ToFileTime(plat::UnixSecondsToFileTime(secs) + std::uint64_t(st->wMilliseconds) * plat::kFileTimePerMs);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
    if (!utc || !local) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::uint64_t v = plat::FileTimeToU64(*utc);
    const long offset = LocalOffsetSeconds(static_cast<std::time_t>(plat::FileTimeToUnixSeconds(v)));
    *local = plat::U64ToFileTime(v + static_cast<std::uint64_t>(static_cast<std::int64_t>(offset) * 10000000));
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc) {
    if (!local || !utc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::uint64_t v = plat::FileTimeToU64(*local);
    const long offset = LocalOffsetSeconds(static_cast<std::time_t>(plat::FileTimeToUnixSeconds(v)));
    *utc = plat::U64ToFileTime(v - static_cast<std::uint64_t>(static_cast<std::int64_t>(offset) * 10000000));
    return TRUE;
}
