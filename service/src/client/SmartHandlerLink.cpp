// The link thread of CSmartHandler: it waits for the connection to break,
// then connects again with growing pauses and brings the records up to date
// before requests go out again.
#include "SmartHandler.h"

#include <algorithm>

#include "base/sync.h"

void CSmartHandler::StartLink() { m_link = std::thread([this] { LinkRoutine(); }); }

void CSmartHandler::StopLink() {
    m_stopping = true;
    SetEvent(m_hLinkStop);
    {
        std::lock_guard connecting(m_connectingLock);
        if (m_pConnecting) m_pConnecting->Cancel();
    }
    WakeRequest();
    if (m_link.joinable()) m_link.join();
}

void CSmartHandler::LinkRoutine() {
    const HANDLE waits[] = {m_hLinkStop, m_hBroken};
    for (;;) {
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
        Disconnect();
        Notify(false);
        // Doubling pauses spare a service that is still starting, or a
        // machine without one, from a stream of attempts.
        for (DWORD pause = kFirstRetryMs;; pause = std::min(pause * 2, kMaxRetryMs)) {
            if (WaitForSingleObject(m_hLinkStop, pause) == WAIT_OBJECT_0) return;
            if (Reconnect()) break;
        }
        Notify(true);
    }
}

bool CSmartHandler::Reconnect() {
    CEncryptSocket* socket = Connect();
    if (!socket) return false;
    {
        // Requests of other threads wait until the records carry the new
        // service's ids; a close meanwhile makes the listing fail.
        std::lock_guard requestLock(m_requestLock);
        Install(socket);
        if (Resync() && !m_broken) {
            m_online = true;
            return true;
        }
    }
    Disconnect();
    return false;
}

void CSmartHandler::Notify(bool connected) {
    if (m_linkCallback) m_linkCallback(connected);
}
