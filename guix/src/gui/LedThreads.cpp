#include "LedThreads.h"

#include <cstdint>

#include "DriverLink.h"
#include "GuiLog.h"
#include "base/clock.h"
#include "base/handle.h"
#include "base/sync.h"
#include "base/thread.h"

namespace {

constexpr LONG kErrorLevel = 2;

std::uintptr_t Tag(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

}  // namespace

void CLedThreads::StartPolling() {
    if (m_pollThread) return;
    m_polling = true;
    m_pollThread = plat::StartThread([this] { return PollingRoutine(); });
}

void CLedThreads::StartWatch() {
    if (m_watchThread) return;
    m_watching = true;
    m_watchThread = plat::StartThread([this] { return WatchRoutine(); });
}

void CLedThreads::StopAll() {
    m_polling = false;
    m_watching = false;
    m_smartPolling = false;
    if (HANDLE event = m_link.ChangeEvent()) SetEvent(event);
    Join(m_pollThread);
    Join(m_watchThread);
    Join(m_smartThread);
}

void CLedThreads::Join(HANDLE& thread) {
    if (!thread) return;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    thread = nullptr;
}

DWORD CLedThreads::PollingRoutine() {
    gui::Trace("PCBTH: -> (0x%x)", Tag(&m_window));
    int last = 0;
    try {
        while (m_polling.load()) {
            Sleep(kPollMs);
            last = m_link.Poll() ? 1 : 0;
            if (!last) {
                m_polling = false;
                break;
            }
            if (m_window.WindowExists()) m_window.RedrawActivity();
        }
    } catch (...) {
        CLog::Print(&gui::Log(), kErrorLevel, u"", "PCBTH: STH CAUGHT");
    }
    gui::Trace("PCBTH: <- (%d)", last);
    return DWORD(last);
}

DWORD CLedThreads::WatchRoutine() {
    HANDLE event = m_link.ChangeEvent();
    if (!event) return 1;
    for (;;) {
        ResetEvent(event);
        // A stop that signalled the event before this reset must not be
        // lost: the flag is cleared before the event is set.
        if (!m_watching.load()) break;
        WaitForSingleObject(event, INFINITE);
        if (!m_watching.load()) break;
        m_watchDelaying = true;
        Sleep(kChangeDelayMs);
        m_watchDelaying = false;
        if (!m_watching.load()) break;
        m_window.PostDrivesChanged();
    }
    ResetEvent(event);
    return 1;
}
