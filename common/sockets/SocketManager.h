// CSocketManager: owns a set of CEncryptSocket connections and the two
// threads that drive them. The Event thread waits on the sockets' network
// events (and runs the keep-alive on idle seconds); the Msg thread cuts
// received bytes into packets and delivers application messages. Its
// virtual operations are the callbacks through which the program sees its
// connections.
//
// Every socket of a manager is selected on the manager's one network event,
// so the Event thread's wait holds three events however many connections
// there are, and one look at the kernel finds every socket that has
// something to report.
//
// Locks (all recursive), in the order every path takes them: the message
// lock, the socket-list lock, a socket's own lock, the delete lock. The
// Event thread holds the list lock and each socket's lock while it
// dispatches, and a close arriving there goes on to the delete lock; Close,
// DeepDelete and CloseConnection take the list lock, the socket's lock and
// the delete lock in that order. (Accepting takes the new socket's lock
// while holding the listener's; nothing takes them the other way round.)
//
// Sends never wait for a peer (SendQueue.h). A connection whose send queue
// overflows or stops moving is closed by the Event thread, which alone
// takes the locks in the order closing needs, whatever the sender held.
//
// Sockets the manager accepted are its own: once removed from the array
// they are kept in a retired list and freed by the Msg thread after it has
// delivered every queued message (so no queued record refers to them), or
// at Shutdown. Sockets the program made (NewSocket + Connect) are deleted
// by the program.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "containers/array.h"
#include "containers/queue.h"
#include "security/sid.h"
#include "sockets/EncryptSocket.h"
#include "thread/WorkerThread.h"

inline constexpr long kRegistrationEvent = 256;

class CSocketManager {
public:
    CSocketManager();
    virtual ~CSocketManager();
    CSocketManager(const CSocketManager&) = delete;
    CSocketManager& operator=(const CSocketManager&) = delete;

    // Codes: FD_READ, FD_ACCEPT, FD_CONNECT, FD_CLOSE, 256 (registered).
    virtual void OnEvent(CEncryptSocket* socket, long code);
    // 1 to admit the peer of `socket` with its registration record, 0 not.
    virtual BOOL CheckPermission(CEncryptSocket* socket, const RegistrationRecord* record);
    // The payload belongs to the callee, which frees it (free()).
    virtual void OnMsg(CEncryptSocket* socket, BYTE* payload, DWORD length, ReplyContext* context, DWORD flags);
    virtual void OnError(CEncryptSocket* socket, DWORD error, long event_bit, const char* text);

    int Create(BOOL skip_user_sid);
    CEncryptSocket* NewSocket();
    BOOL Add(CEncryptSocket* socket);
    BOOL Remove(CEncryptSocket* socket, BOOL take_lock);
    int DeleteSocket(CEncryptSocket* socket);
    void DeepDelete(CEncryptSocket* socket);
    void CloseConnection(CEncryptSocket* socket);
    // Asks every connection to close (and the peers' closes are waited for
    // together, up to CEncryptSocket::kCloseWaitMs after the latest close
    // request), then closes what is left and the listeners.
    int CloseAllSockets();
    // Sends the close request to every connection that has not had it;
    // returns at once. A peer that closes then is torn down by the Event
    // thread as usual.
    void RequestCloseAll();
    // Has the Event thread look at the connections whose sends failed now,
    // which it closes.
    void WakeEventThread();
    int Shutdown();
    // The process user's SID, allocated with malloc for the caller.
    static HRESULT QueryUserSID(DWORD* length, PSID* sid);

    // The keep-alive check over every socket that is not listening; the
    // Event thread runs it once a second while the network is idle.
    void CheckKeepAlive();
    // Whether `socket` is in the array.
    bool Contains(CEncryptSocket* socket);
    int SocketCount();

    std::recursive_mutex& ListLock() { return m_listLock; }
    std::recursive_mutex& DeleteLock() { return m_deleteLock; }
    HANDLE NewPacketArrived() const { return m_hNewPacketArrived; }
    // The event all the manager's sockets are selected on.
    WSAEVENT NetworkEvent() const { return m_hNetworkEvent; }
    // For a client whose OnMsg only hands an answer to the request waiting
    // for it: application messages that arrive while none of their socket's
    // waits for the Msg thread are delivered on the Event thread right after
    // the receive, which spares the answer a hand-over to the Msg thread.
    // OnMsg then runs on either thread (never for one socket on both at
    // once, and in the order of arrival), with the Event thread's locks held
    // on that one: it must not wait. Set before the first connection.
    void SetDeliverOnEventThread(bool on) { m_deliverOnEventThread = on; }
    // On the Event thread right after a receive: hands the replies at the
    // head of the socket's received bytes to their waiters and, when set
    // above, takes the application messages there for delivery; the Msg
    // thread is woken after the round when a packet is left for it.
    void CutOnEventThread(CEncryptSocket* socket);
    DWORD RegistrationTimeout() const { return m_registrationTimeout; }
    void SetRegistrationTimeout(DWORD ms) { m_registrationTimeout = ms; }
    const BYTE* UserSid() const { return m_pUserSid.empty() ? nullptr : m_pUserSid.data(); }
    DWORD UserSidLength() const { return static_cast<DWORD>(m_pUserSid.size()); }
    WorkerThread* EventThread() { return m_pEventThread.get(); }
    WorkerThread* MsgThread() { return m_pMsgThread.get(); }

private:
    static DWORD EventRoutine(LPVOID self);
    static DWORD MsgRoutine(LPVOID self);
    void EventRound();
    // Closes the connections whose send queue overflowed or stalled.
    void CloseStalledSockets();
    // The connections that are not listening; with `waiting_only`, only
    // those whose graceful close is waited for.
    std::vector<CEncryptSocket*> Connections(bool waiting_only);
    // Milliseconds left of the graceful-close wait of `sockets`.
    static DWORD CloseWaitLeft(const std::vector<CEncryptSocket*>& sockets);
    void WaitForPeerCloses();
    void DispatchEvents(CEncryptSocket* socket);
    void CutPackets();
    void DeliverMessages(zmsdk::queue& queue);
    void Deliver(const SocketMessage& message);
    void CutRemaining(CEncryptSocket* socket);
    void Retire(CEncryptSocket* socket);
    // In the array, or removed but not yet freed: its messages may still be
    // delivered. A socket the program closed (and may have deleted) is not.
    bool Deliverable(CEncryptSocket* socket);
    void FreeRetired();
    void ReleaseConnection(CEncryptSocket* socket);
    std::vector<CEncryptSocket*> Snapshot();

    std::unique_ptr<zmsdk::array> m_pSockets;
    std::unique_ptr<zmsdk::queue> m_pMessages;
    DWORD m_registrationTimeout = 0;
    std::unique_ptr<WorkerThread> m_pEventThread;
    std::unique_ptr<WorkerThread> m_pMsgThread;
    HANDLE m_hStop = nullptr;
    WSAEVENT m_hNetworkEvent = nullptr;
    // Wakes the Event thread to close the connections whose sends failed.
    HANDLE m_hWake = nullptr;
    // Signalled whenever a socket leaves the array (auto-reset), so that
    // CloseAllSockets sees the peers' closes as they happen.
    HANDLE m_hSocketRemoved = nullptr;
    HANDLE m_hNewPacketArrived = nullptr;
    std::recursive_mutex m_listLock;
    std::recursive_mutex m_messageLock;
    std::recursive_mutex m_deleteLock;
    std::vector<BYTE> m_pUserSid;
    std::vector<CEncryptSocket*> m_retired;  // guarded by the list lock
    bool m_created = false;
    bool m_deliverOnEventThread = false;
    // The Event thread's: messages it took, delivered once the socket's lock
    // is released, and whether the Msg thread has packets to cut.
    zmsdk::queue m_taken;
    bool m_msgThreadWanted = false;
};
