// CBasicSocket: the bottom of the socket stack. It owns the Winsock socket
// (made from the protocol catalogue, and selected on its manager's network
// event), its recursive lock, the wait-on-connect and cancel events and the
// connection's flags.
//
// Results: 0, or -1 with the thread's last error set.
// Threads: every method may be called from any thread; the socket's lock
// guards its handle and is held around each send, so a packet's header and
// payload leave as one unit.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "net/winsock.h"
#include "sockets/SendQueue.h"

class CSocketManager;

class CBasicSocket {
public:
    CBasicSocket(SOCKET socket, CSocketManager* manager);
    virtual ~CBasicSocket();
    CBasicSocket(const CBasicSocket&) = delete;
    CBasicSocket& operator=(const CBasicSocket&) = delete;

    virtual int Close(BOOL send_close_request);
    virtual void Cancel();
    virtual int Write(const void* data, int length);
    virtual int Read(void* buffer, int size);
    // For FD_CONNECT: stores the error as the connect result and signals the
    // wait-on-connect event. The last error is left unchanged.
    virtual void OnError(DWORD error, long event_bit, const char* text);
    virtual void OnEvent(long event_bit);
    virtual void OnInternalEvent(long event_bit);

    // Creates the socket (layered providers allowed or base providers only)
    // and its events, and selects all ten network events on the manager's
    // network event.
    int Create(BOOL use_layered_providers);
    // Port 0 or no socket: error 87. No address binds to any address.
    int Bind(WORD port, const in_addr* address);
    void ReleasePendingNetworkData();
    // The peer's host name, or "" when it cannot be had.
    std::string GetPeerName(int name_flags);
    void SetHandle(SOCKET socket);
    void CloseWaitConnectHandle();
    void DestroyEvents();
    // Sends the close request (the sending direction is shut down after
    // what the send queue can still write at once) unless it was sent.
    void SendCloseRequest();
    // Writes what the send queue holds as far as the socket takes it; the
    // manager calls it on FD_WRITE.
    void FlushSendQueue();
    // The send queue passed its limit, or has not moved within its wait:
    // the connection is to be closed.
    bool IsSendStalled(DWORD now);
    // Bytes waiting in the send queue.
    std::size_t QueuedBytes();
    void ReleaseSendQueue();

    std::recursive_mutex& Lock() { return m_lock; }
    SOCKET Handle() const { return m_hSocket; }
    HANDLE CancelEvent() const { return m_hCancel; }
    CSocketManager* Manager() const { return m_pSocketManager; }
    const std::string& DisplayName() const { return m_name; }
    bool IsListening() const { return m_listening; }
    bool IsCancelled() const { return m_cancelled; }
    bool IsPeerClosed() const { return m_peerClosed; }
    bool IsPingOutstanding() const { return m_pingOutstanding; }
    DWORD ActivityTick() const { return m_activityTick; }
    bool IsCloseRequested() const { return m_closeRequested; }
    DWORD CloseRequestTick() const { return m_closeRequestTick; }
    const sockaddr_in& PeerAddress() const { return m_peerAddress; }

protected:
    // The socket from the first TCP/IPv4 catalogue entry that guarantees
    // delivery and order (and is a base provider unless layered ones are
    // allowed), entry 0 when none fits; INVALID_SOCKET on failure.
    SOCKET CreateSocket(BOOL use_layered_providers);
    // Sends all `length` bytes without waiting: what the socket does not
    // take now is queued (SendQueue.h). 0, or -1 with the error set; a
    // queue past its limit also marks the connection for closing.
    int SendBlock(const BYTE* data, DWORD length);
    bool CancelRequested() const;

    SOCKET m_hSocket = 0;
    std::recursive_mutex m_lock;
    CSocketManager* m_pSocketManager = nullptr;
    HANDLE m_hWaitOnConnect = nullptr;
    HANDLE m_hCancel = nullptr;
    DWORD m_connectResult = 0;
    bool m_dataSeen = false;
    DWORD m_activityTick = 0;
    bool m_listening = false;
    bool m_pingOutstanding = false;
    bool m_cancelled = false;
    bool m_peerClosed = false;
    sockaddr_in m_peerAddress{};
    int m_peerAddressLength = sizeof(sockaddr_in);
    std::string m_name;
    SendQueue m_sendQueue;
    bool m_sendFailed = false;  // the queue overflowed; no more sends
    // Read by the manager without the socket's lock.
    std::atomic<bool> m_closeRequested{false};
    std::atomic<DWORD> m_closeRequestTick{0};
};
