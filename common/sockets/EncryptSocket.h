// CEncryptSocket: the socket class that is instantiated. It connects (GUI
// side), listens and accepts (service side), closes gracefully, answers
// pings, handles registration requests and runs the keep-alive. Payloads
// are not transformed.
//
// Threads: Connect blocks its caller and can be ended at any step by the
// cancel event. OnInternalEvent runs in the manager's Event thread, OnSys
// and OnMsg in its Msg thread (OnMsg also in the Event thread for a manager
// that delivers there, see CSocketManager::SetDeliverOnEventThread).
#pragma once

#include <string>

#include "sockets/RegSocket.h"

class CEncryptSocket : public CRegSocket {
public:
    static constexpr DWORD kPingAfterMs = 600000;
    static constexpr DWORD kTargetTimeoutMs = 610000;
    static constexpr DWORD kCloseWaitMs = 1000;
    static constexpr DWORD kDefaultRegistrationTimeoutMs = 60000;

    using CRegSocket::CRegSocket;
    ~CEncryptSocket() override;

    int Close(BOOL send_close_request) override;
    void OnError(DWORD error, long event_bit, const char* text) override;
    void OnEvent(long event_bit) override;
    void OnInternalEvent(long event_bit) override;
    void OnMsg(BYTE* payload, DWORD length, ReplyContext* context, DWORD flags) override;
    void OnSys(BYTE* payload, DWORD length, ReplyContext* context, DWORD flags) override;
    // The same as Cancel.
    virtual void CancelWait(DWORD ms);

    // Service side: bind (any address when none) and listen with `mask`.
    int Listen(WORD port, DWORD mask, BOOL base_only, const in_addr* address);
    // The first port of the range that works.
    int Listen(WORD first_port, WORD last_port, DWORD mask, BOOL base_only, const in_addr* address);
    // GUI side: connect and register; blocks until registered, refused,
    // failed or cancelled. "localhost" means 127.0.0.1 without a look-up.
    int Connect(const char* host, WORD port, BOOL base_only);
    // One keep-alive step (see CSocketManager::CheckKeepAlive).
    void CheckKeepAlive();
    // Drops buffers, events, records and peer data after removal.
    void ReleaseConnectionResources();

    const std::string& PeerSidText() const { return m_peerSidText; }
    const std::u16string& PeerUserName() const { return m_peerUserName; }
    BOOL IsRegistered() const { return m_registered; }
    // Registered, or registering: a graceful close waits for its peer.
    bool HasRegistration() const { return m_pPeerRecord != nullptr || m_registered; }
    bool IsAccepted() const { return m_accepted; }
    DWORD GetPermission() const { return m_permission; }
    void SetPermissionMask(DWORD mask) { m_permission = mask; }

private:
    void Accept();
    void HandleRegistration(BYTE* payload, DWORD length, ReplyContext* context);
    // Waits up to `ms` for the peer to close its side, discarding what
    // still arrives. True when it did.
    bool WaitForPeerClose(DWORD ms);
    // Reports the error through OnError unless `event_bit` is 0, removes and
    // cleans up the socket; -1 with `error`.
    int ConnectFail(DWORD error, long event_bit);
    int Escape(bool locked);
    bool ResolveHost(const char* host, in_addr* address);

    std::string m_peerSidText;
    std::u16string m_peerUserName;
    BOOL m_registered = FALSE;
    bool m_accepted = false;
    bool m_closeReported = false;  // FD_CLOSE reaches the manager once
};
