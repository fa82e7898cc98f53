// "SCBTH": the S.M.A.R.T. polling thread of the LED window (LedThreads.h).
#include "GuiLog.h"
#include "LedThreads.h"
#include "Settings.h"
#include "SmartHandler.h"
#include "base/clock.h"
#include "base/thread.h"

void CLedThreads::StartSmartPolling(CSmartHandler& handler, const GuiSettings& settings) {
    if (m_smartThread) return;
    m_smartPolling = true;
    m_smartThread = plat::StartThread([this, &handler, &settings] { return SmartPollingRoutine(handler, settings); });
}

DWORD CLedThreads::SmartPollingRoutine(CSmartHandler& handler, const GuiSettings& settings) {
    gui::Trace("SCBTH: -> (0x%x)", reinterpret_cast<std::uintptr_t>(&m_window));
    try {
        while (m_smartPolling.load() && m_window.WindowExists()) {
            if (settings.SmartDisplay) {
                gui::Trace("SCBTH: CSmartHandler::UpdateSmartValues ...");
                const int result = handler.RefreshSmartStatus();
                gui::Trace("SCBTH: CSmartHandler::UpdateSmartValues returned: %d", result);
            }
            ++m_smartCycles;
            const DWORD interval = settings.SMARTPollingIntervall;
            gui::Trace("SCBTH: Waiting %lu sec", interval);
            for (int step = 0; step < kSmartPauseSteps && m_smartPolling.load(); ++step) Sleep(interval);
            gui::Trace("SCBTH: Starting new cycle...");
        }
    } catch (...) {
        CLog::Print(&gui::Log(), 2, u"", "SCBTH: STH CAUGHT");
    }
    gui::Trace("SCBTH: <- (%d)", 1);
    return 1;
}
