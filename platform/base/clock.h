// The process-wide clock. Every timed behaviour of the system (cache ages,
// time-outs, timers, self-test progress, keep-alives) reads this clock, so a
// test can install a ManualClock and step time by hand instead of sleeping.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "base/wintypes.h"

namespace plat {

class Clock {
public:
    virtual ~Clock() = default;
    // 100-ns units since 1601-01-01 UTC.
    virtual std::uint64_t NowFileTime() const = 0;
    // Milliseconds of a monotonic counter (the 64-bit tick).
    virtual std::uint64_t TickMs() const = 0;
    // Blocks until the clock has advanced by `ms`.
    virtual void Sleep(std::uint32_t ms) = 0;
    // Waits on `cv` (with `lock` held) until notified or until the tick
    // reaches `deadline_tick`, whichever is first. Spurious returns are
    // allowed: callers re-check their condition and the tick.
    virtual void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                           std::uint64_t deadline_tick) = 0;
    // For waits that sleep in the kernel (poll): how many real milliseconds
    // a thread may sleep before it must read the tick again on its way to
    // `deadline_tick`; 0 once the deadline has passed, kNoDeadline for none.
    virtual std::uint64_t SleepSliceMs(std::uint64_t deadline_tick) const = 0;
    // The tick at which the clock shows `filetime` (the tick now when that
    // time has passed), read in one step so that a deadline given as a date
    // does not move while it is converted.
    virtual std::uint64_t TickAtFileTime(std::uint64_t filetime) const = 0;

    static constexpr std::uint64_t kNoDeadline = UINT64_MAX;
};

// A slice of SleepSliceMs as poll()'s time-out (-1: none).
int PollTimeoutMs(std::uint64_t slice_ms);

// The real clock: CLOCK_REALTIME for the date, CLOCK_MONOTONIC for the tick.
class SystemClock final : public Clock {
public:
    std::uint64_t NowFileTime() const override;
    std::uint64_t TickMs() const override;
    void Sleep(std::uint32_t ms) override;
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                   std::uint64_t deadline_tick) override;
    std::uint64_t SleepSliceMs(std::uint64_t deadline_tick) const override;
    std::uint64_t TickAtFileTime(std::uint64_t filetime) const override;
};

// A clock that moves only when the test calls Advance. Sleeps and timed
// waits end when the test has advanced the clock far enough.
class ManualClock final : public Clock {
public:
    explicit ManualClock(std::uint64_t start_filetime = kDefaultStart, std::uint64_t start_tick = 1000);

    std::uint64_t NowFileTime() const override { return m_fileTime.load(); }
    std::uint64_t TickMs() const override { return m_tick.load(); }
    void Sleep(std::uint32_t ms) override;
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                   std::uint64_t deadline_tick) override;
    std::uint64_t SleepSliceMs(std::uint64_t deadline_tick) const override;
    std::uint64_t TickAtFileTime(std::uint64_t filetime) const override;

    void Advance(std::uint64_t ms);
    void SetFileTime(std::uint64_t filetime) { m_fileTime.store(filetime); }
    void SetTick(std::uint64_t tick) { m_tick.store(tick); }

    // 2026-01-01 00:00:00 UTC.
    static constexpr std::uint64_t kDefaultStart = 134116992000000000ull;

private:
    std::atomic<std::uint64_t> m_fileTime;
    std::atomic<std::uint64_t> m_tick;
    mutable std::mutex m_sleepMutex;
    std::condition_variable m_sleepCv;
};

// The clock in force. Installing a clock is meant for tests, before threads
// that read it start; the previous clock is returned so it can be restored.
Clock& CurrentClock();
std::shared_ptr<Clock> InstallClock(std::shared_ptr<Clock> clock);

// Installs a ManualClock for the lifetime of the guard.
class ScopedManualClock {
public:
    explicit ScopedManualClock(std::uint64_t start_filetime = ManualClock::kDefaultStart);
    ~ScopedManualClock();
    ScopedManualClock(const ScopedManualClock&) = delete;
    ScopedManualClock& operator=(const ScopedManualClock&) = delete;
    ManualClock& operator*() { return *m_clock; }
    ManualClock* operator->() { return m_clock.get(); }

private:
    std::shared_ptr<ManualClock> m_clock;
    std::shared_ptr<Clock> m_previous;
};

// FILETIME <-> 64-bit value.
inline std::uint64_t FileTimeToU64(const FILETIME& ft) {
    return (std::uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
inline FILETIME U64ToFileTime(std::uint64_t v) {
    return FILETIME{static_cast<DWORD>(v & 0xFFFFFFFFu), static_cast<DWORD>(v >> 32)};
}

// 100-ns units between 1601-01-01 and 1970-01-01.
inline constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
inline constexpr std::uint64_t kFileTimePerSecond = 10000000ull;
inline constexpr std::uint64_t kFileTimePerMs = 10000ull;

std::int64_t FileTimeToUnixSeconds(std::uint64_t filetime);
std::uint64_t UnixSecondsToFileTime(std::int64_t seconds);

}  // namespace plat

// Win32-style entry points on the current clock.
void GetSystemTimeAsFileTime(FILETIME* ft);
DWORD GetTickCount();  // wraps around after 49.7 days, as on Windows
ULONGLONG GetTickCount64();
void Sleep(DWORD ms);
void GetSystemTime(SYSTEMTIME* st);
void GetLocalTime(SYSTEMTIME* st);
BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st);
BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft);
BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc);
