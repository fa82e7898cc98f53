// The LED window's worker threads:
//
// - "PCBTH", the activity poll: every 50 ms one activity request, then the
//   window's activity redraw. A failed poll has closed the link; the thread
//   then ends and the LEDs stay as last drawn.
// - the change watch: resets the driver's change event, waits for it,
//   sleeps 3,000 ms and has the window read the list again (message 5010),
//   so every change within one sleep leads to a single refresh.
// - "SCBTH", the S.M.A.R.T. poll: refreshes health and values of every
//   monitored drive, then pauses SMARTPollingIntervall seconds in 1,000
//   steps of as many milliseconds, so a stop is noticed within one step.
//
// Every sleep and wait reads the platform clock, so tests move time by hand.
//
// Threads: Start* and StopAll on the GUI thread. StopAll clears the three
// flags, signals the change event and joins every thread; it must not be
// called with the window's drawing lock held (the poll thread may be waiting
// for it).
#pragma once

#include <atomic>

#include "base/wintypes.h"

class CDriverLink;
class CSmartHandler;
struct GuiSettings;

// What the threads need of the window.
class LedThreadClient {
public:
    virtual ~LedThreadClient() = default;
    virtual bool WindowExists() const = 0;
    // Draws the LEDs from the masks just polled (poll thread).
    virtual void RedrawActivity() = 0;
    // Posts message 5010 to the window (change-watch thread).
    virtual void PostDrivesChanged() = 0;
};

class CLedThreads {
public:
    static constexpr DWORD kPollMs = 50;
    static constexpr DWORD kChangeDelayMs = 3000;
    static constexpr int kSmartPauseSteps = 1000;

    CLedThreads(CDriverLink& link, LedThreadClient& window) : m_link(link), m_window(window) {}
    ~CLedThreads() { StopAll(); }
    CLedThreads(const CLedThreads&) = delete;
    CLedThreads& operator=(const CLedThreads&) = delete;

    void StartPolling();
    void StartWatch();
    // `settings` is read without a lock at every cycle (SmartDisplay and
    // SMARTPollingIntervall take effect at the next cycle).
    void StartSmartPolling(CSmartHandler& handler, const GuiSettings& settings);
    void StopAll();

    bool IsPolling() const { return m_polling.load(); }
    bool IsWatching() const { return m_watching.load(); }
    bool IsSmartPolling() const { return m_smartPolling.load(); }
    // Whether the change watch is in its 3-second delay before a refresh.
    bool IsWatchDelaying() const { return m_watchDelaying.load(); }
    // Completed S.M.A.R.T. cycles, for tests and the benchmark.
    int SmartCycles() const { return m_smartCycles.load(); }

private:
    DWORD PollingRoutine();
    DWORD WatchRoutine();
    DWORD SmartPollingRoutine(CSmartHandler& handler, const GuiSettings& settings);
    static void Join(HANDLE& thread);

    CDriverLink& m_link;
    LedThreadClient& m_window;
    std::atomic<bool> m_polling{false};
    std::atomic<bool> m_watching{false};
    std::atomic<bool> m_smartPolling{false};
    std::atomic<bool> m_watchDelaying{false};
    std::atomic<int> m_smartCycles{0};
    HANDLE m_pollThread = nullptr;
    HANDLE m_watchThread = nullptr;
    HANDLE m_smartThread = nullptr;
};
