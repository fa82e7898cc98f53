// The socket manager's Event and Msg threads.
#include <cstdlib>
#include <exception>

#include "base/clock.h"
#include "base/sync.h"
#include "sockets/SocketLog.h"
#include "sockets/SocketManager.h"

namespace {

constexpr DWORD kEventWaitMs = 1000;
// Packets cut from one socket per Msg-thread round. Each round serves every
// socket in turn, so a peer with many requests buffered delays another's
// answer by a few of its own requests, never by all of them.
constexpr int kPacketsPerSocketPerRound = 16;

// Network events after FD_CLOSE, in bit order.
constexpr int kEventBits[] = {0, 1, 2, 3, 4, 6, 7, 8, 9};

}  // namespace

DWORD CSocketManager::EventRoutine(LPVOID self) {
    auto* m = static_cast<CSocketManager*>(self);
    DWORD last_keep_alive = GetTickCount();
    DWORD last_stall_check = last_keep_alive;
    const WSAEVENT events[] = {m->m_hStop, m->m_hWake, m->m_hNetworkEvent};
    for (;;) {
        const DWORD w = ws::WSAWaitForMultipleEvents(3, events, FALSE, kEventWaitMs, FALSE);
        if (w == WSA_WAIT_EVENT_0) return 0;
        // Woken on purpose (a send that failed), or a second since the last
        // look: close the connections that cannot send.
        if (w == WSA_WAIT_EVENT_0 + 1 || GetTickCount() - last_stall_check >= kEventWaitMs) {
            last_stall_check = GetTickCount();
            m->CloseStalledSockets();
        }
        if (w == WSA_WAIT_EVENT_0 + 1) continue;
        if (w == WSA_WAIT_FAILED) {
            SockTrace("CSocketManager::EventRoutine() WSAWaitForMultipleEvents() failed %i", GetLastError());
            continue;
        }
        if (w == WSA_WAIT_TIMEOUT && GetTickCount() - last_keep_alive >= kEventWaitMs) {
            last_keep_alive = GetTickCount();
            m->CheckKeepAlive();
        }
        if (w != WSA_WAIT_TIMEOUT) m->EventRound();
    }
}

void CSocketManager::CheckKeepAlive() {
    std::lock_guard lock(m_listLock);
    for (CEncryptSocket* s : Snapshot()) {
        if (!Contains(s)) continue;  // an earlier close took it out
        std::lock_guard socket_lock(s->Lock());
        s->CheckKeepAlive();
    }
}

void CSocketManager::CloseStalledSockets() {
    std::lock_guard lock(m_listLock);
    const DWORD now = GetTickCount();
    for (CEncryptSocket* s : Snapshot()) {
        if (!Contains(s) || !s->IsSendStalled(now)) continue;
        SockTrace("(%s) *** error: send did not complete within %lu ms, closing connection(%i)", s->DisplayName(),
                  static_cast<unsigned long>(SendQueue::kStallMs), s->Handle());
        CloseConnection(s);
    }
}

void CSocketManager::EventRound() {
    {
        std::lock_guard lock(m_listLock);
        if (!m_pSockets) {
            SockTrace("FATAL ERROR(1)\n");
            return;
        }
        // A socket that closes leaves the array, and the next one moves into
        // its position, which is visited next. The network event stays
        // signalled while a socket has events recorded: once it is not, the
        // sockets left have nothing to report, and what the kernel reports
        // from now on is collected by the next wait.
        for (int i = 0; i < m_pSockets->Count() && plat::IsSignaled(m_hNetworkEvent); ++i) {
            CEncryptSocket* s = reinterpret_cast<CEncryptSocket*>(m_pSockets->Get(i));
            DispatchEvents(s);
            // Outside the socket's lock, which the woken requester's next
            // send takes; within the list lock, which keeps the socket.
            DeliverMessages(m_taken);
            if (i < m_pSockets->Count() && reinterpret_cast<CEncryptSocket*>(m_pSockets->Get(i)) != s) --i;
        }
    }
    // Woken once the list lock is free, which it takes first.
    if (m_msgThreadWanted && !SetEvent(m_hNewPacketArrived))
        SockTrace("*** error: CSocketManager::EventRound() SetEvent(m_hNewPacketArrived) failed %i", GetLastError());
    m_msgThreadWanted = false;
}

void CSocketManager::DispatchEvents(CEncryptSocket* s) {
    std::lock_guard socket_lock(s->Lock());
    if (!s->Handle()) return;
    WSANETWORKEVENTS events{};
    if (ws::WSAEnumNetworkEvents(s->Handle(), m_hNetworkEvent, &events) != 0) {
        const DWORD error = GetLastError();
        SockTrace("CSocketManager::EventRoutine() WSAEnumNetworkEvents() failed %i", error);
        s->OnError(error, 0, "WSAEnumNetworkEvents(): ");
        return;
    }
    if (events.lNetworkEvents & FD_CLOSE) {
        if (const int code = events.iErrorCode[FD_CLOSE_BIT]) {
            SockTrace("*** error: CSocketManager::EventRoutine() FD_CLOSE/FD_CLOSE_BIT failure");
            s->OnError(static_cast<DWORD>(code), FD_CLOSE, nullptr);
        }
        s->OnInternalEvent(FD_CLOSE);
        return;
    }
    for (const int bit : kEventBits) {
        const long flag = 1L << bit;
        if (!(events.lNetworkEvents & flag)) continue;
        if (events.iErrorCode[bit]) s->OnError(static_cast<DWORD>(events.iErrorCode[bit]), flag, nullptr);
        else s->OnInternalEvent(flag);
        if (!s->Handle()) return;  // the socket was torn down
    }
}

DWORD CSocketManager::MsgRoutine(LPVOID self) {
    auto* m = static_cast<CSocketManager*>(self);
    const HANDLE waits[] = {m->m_hStop, m->m_hNewPacketArrived};
    for (;;) {
        const DWORD w = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (w != WAIT_OBJECT_0 + 1) break;
        std::lock_guard message_lock(m->m_messageLock);
        m->CutPackets();
        m->DeliverMessages(*m->m_pMessages);
        m->FreeRetired();
    }
    std::lock_guard message_lock(m->m_messageLock);
    for (LONG_PTR e; (e = m->m_pMessages->Pop()) != zmsdk::array::kNone;) {
        auto* message = reinterpret_cast<SocketMessage*>(e);
        std::free(message->payload);
        delete message->context;
        delete message;
    }
    m->m_pMessages.reset();
    return 0;
}

void CSocketManager::CutPackets() {
    std::lock_guard lock(m_listLock);
    std::vector<CEncryptSocket*> misbehaving;
    bool more = false;
    for (CEncryptSocket* s : Snapshot()) {
        std::lock_guard socket_lock(s->Lock());
        int cut = 0;
        for (int n = 0; s->Handle() && s->HasPacket(); ++n) {
            if (s->CancelEvent() && WaitForSingleObject(s->CancelEvent(), 0) == WAIT_OBJECT_0) {
                SockTrace("CANCELING PACKETIZE\n");
                break;
            }
            if (n == kPacketsPerSocketPerRound) {
                more = true;  // the rest waits for the next round
                break;
            }
            cut = s->Packetize(m_pMessages.get());
            if (cut != 1) break;
        }
        if (cut < 0) misbehaving.push_back(s);
        else if (s->ResumeReading()) more = true;  // what it read is cut next round
    }
    for (CEncryptSocket* s : misbehaving) CloseConnection(s);
    if (more) SetEvent(m_hNewPacketArrived);
}

void CSocketManager::DeliverMessages(zmsdk::queue& queue) {
    for (LONG_PTR e; (e = queue.Pop()) != zmsdk::array::kNone;) {
        auto* message = reinterpret_cast<SocketMessage*>(e);
        Deliver(*message);
        delete message->context;
        delete message;
    }
}

void CSocketManager::CutOnEventThread(CEncryptSocket* socket) {
    if (!socket->CutLeadingReplies(m_deliverOnEventThread ? &m_taken : nullptr)) return;
    // A packet is left for the Msg thread, which could deliver a message
    // behind it before those taken here: they go first.
    DeliverMessages(m_taken);
    m_msgThreadWanted = true;
}

void CSocketManager::Deliver(const SocketMessage& message) {
    auto* socket = static_cast<CEncryptSocket*>(message.socket);
    if (!Deliverable(socket)) {
        std::free(message.payload);
        return;
    }
    // A service connection must register before its messages count;
    // delivering them earlier would bypass the permission check.
    if (socket->IsAccepted() && !socket->IsRegistered()) {
        SockTrace("(%s) *** error: message before registration dropped(%i)", socket->DisplayName(), socket->Handle());
        std::free(message.payload);
    } else {
        try {
            socket->OnMsg(message.payload, message.length, message.context, message.flags);
        } catch (...) {
            SockTrace("exception occured\n");
        }
    }
    socket->MessageDelivered();
}
