#include "sockets/EncryptSocket.h"

#include <cstdlib>
#include <cstring>

#include "base/clock.h"
#include "base/handle.h"
#include "base/sync.h"
#include "base/text.h"
#include "base/win_errors.h"
#include "security/CheckAdminRights.h"
#include "sockets/SocketLog.h"
#include "sockets/SocketManager.h"

namespace {

constexpr int kMaxBacklog = 0x7FFFFFFF;

const char* Mark(bool listening) { return listening ? "L" : ""; }

}  // namespace

CEncryptSocket::~CEncryptSocket() = default;

void CEncryptSocket::CancelWait(DWORD) { Cancel(); }

void CEncryptSocket::OnError(DWORD error, long event_bit, const char* text) {
    CBasicSocket::OnError(error, event_bit, text);
    if (!m_pSocketManager) {
        SockTrace("*** error: CEncryptSocket::OnError() m_pSocketManager == 0");
        return;
    }
    m_pSocketManager->OnError(this, error, event_bit, text);
}

void CEncryptSocket::OnEvent(long event_bit) {
    if (event_bit == FD_CLOSE) {
        if (m_closeReported) return;
        m_closeReported = true;
    }
    if (!m_pSocketManager) {
        SockTrace("*** error: CEncryptSocket::OnEvent() m_pSocketManager == 0");
        return;
    }
    m_pSocketManager->OnEvent(this, event_bit);
}

void CEncryptSocket::OnMsg(BYTE* payload, DWORD length, ReplyContext* context, DWORD flags) {
    if (!m_pSocketManager) {
        SockTrace("*** error: CEncryptSocket::OnMsg() m_pSocketManager == 0");
        std::free(payload);
        return;
    }
    m_pSocketManager->OnMsg(this, payload, length, context, flags);
}

// ---- Listening and accepting ----------------------------------------------

int CEncryptSocket::Listen(WORD port, DWORD mask, BOOL base_only, const in_addr* address) {
    SockTrace("-> ESL (p=%d, r=%lu, f=%lu)", port, mask, base_only);
    if (!m_pSocketManager) {
        SockTrace("m_pSocketManager is 0");
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    m_permission = mask;
    if (CRegSocket::Create(!base_only) != 0) return -1;
    SockTrace("ESL: m_hSocket = %i", m_hSocket);
    if (!m_pSocketManager->Add(this)) {
        ReleaseConnectionResources();
        SockTrace("m_pSocketManager->Add() failed");
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    std::unique_lock lock(m_lock, std::defer_lock);
    auto fail = [&](DWORD error) {
        if (m_hSocket) ws::closesocket(m_hSocket);
        m_hSocket = 0;
        ReleaseConnectionResources();
        // The manager's list lock comes before a socket's own lock.
        lock.unlock();
        m_pSocketManager->Remove(this, TRUE);
        SetLastError(error);
        return -1;
    };
    SockTrace("-> ESL:EnterCS");
    lock.lock();
    SockTrace("<- ESL:EnterCS");
    SockTrace("-> ESL:Bind");
    const int bound = Bind(port, address);
    SockTrace("<- ESL:Bind %i", bound);
    if (bound != 0) {
        const DWORD error = GetLastError();
        SockTrace("*** error: CEncryptSocket::Listen() Bind() failed %i", error);
        SockTrace("Bind() failed Error(%i)", error);
        return fail(error);
    }
    if (!m_hSocket || m_hSocket == INVALID_SOCKET) {
        SockTrace("*** error: CEncryptSocket::Listen() m_hSocket == INVALID_SOCKET");
        return fail(WSAENOTSOCK);
    }
    SockTrace("-> ESL:listen");
    if (ws::listen(m_hSocket, kMaxBacklog) != 0) {
        const DWORD error = GetLastError();
        SockTrace("*** error: CEncryptSocket::Listen() listen failed %i", error);
        return fail(error);
    }
    SockTrace("<- ESL:listen");
    m_listening = true;
    SockTrace("LISTENING(%i)\n", port);
    if (mask & PERMISSION_LOCALADMINS) SockTrace("[LOCALADMINS]\n");
    else if (mask & PERMISSION_LOCALUSERS) SockTrace("[LOCALUSERS]");
    else SockTrace("[ALLUSERS]");
    SockTrace("<- ESL");
    return 0;
}

int CEncryptSocket::Listen(WORD first_port, WORD last_port, DWORD mask, BOOL base_only, const in_addr* address) {
    SockTrace("-> ESL2 (ps=%d, pe=%d, s=%d, r=%lu, f=%lu)", first_port, last_port, m_hSocket, mask, base_only);
    for (DWORD port = first_port; port <= last_port; ++port) {
        if (Listen(static_cast<WORD>(port), mask, base_only, address) == 0) return 0;
        SockTrace("*** error: CEncryptSocket::Listen() Listen() failed %i", GetLastError());
    }
    return -1;
}

void CEncryptSocket::Accept() {
    m_peerAddressLength = sizeof m_peerAddress;
    const SOCKET accepted =
        ws::WSAAccept(m_hSocket, reinterpret_cast<sockaddr*>(&m_peerAddress), &m_peerAddressLength);
    if (accepted == INVALID_SOCKET) {
        OnError(GetLastError(), FD_ACCEPT, "WSAAccept()");
        return;
    }
    CEncryptSocket* peer = m_pSocketManager->NewSocket();
    if (!peer) {
        OnError(GetLastError(), FD_ACCEPT, "NewSocket()");
        ws::shutdown(accepted, SD_BOTH);
        ws::closesocket(accepted);
        return;
    }
    peer->m_accepted = true;
    peer->CRegSocket::Create(TRUE);
    m_pSocketManager->Add(peer);
    peer->SetHandle(accepted);
    peer->m_peerAddress = m_peerAddress;
    peer->m_peerAddressLength = m_peerAddressLength;
    SockTrace("(%s) ACCEPTING CONNECTION(%i)\n", peer->m_name, accepted);
    peer->m_permission = m_permission;
    peer->OnEvent(FD_ACCEPT);
}

// ---- Network events ---------------------------------------------------------

void CEncryptSocket::OnInternalEvent(long event_bit) {
    m_peerAddressLength = sizeof m_peerAddress;
    if (!m_pSocketManager) {
        SockTrace("m_pSocketManager is 0");
        return;
    }
    switch (event_bit) {
        case FD_READ:
            m_activityTick = GetTickCount();
            m_pingOutstanding = false;
            m_dataSeen = true;
            Read(nullptr, 0);
            OnEvent(FD_READ);
            m_pSocketManager->CutOnEventThread(this);
            break;
        case FD_WRITE: FlushSendQueue(); break;
        case FD_ACCEPT: Accept(); break;
        case FD_CONNECT:
            SockTrace("(%s) CONNECTION ESTABLISHED(%i)\n", m_name, m_hSocket);
            m_connectResult = 0;
            if (m_hWaitOnConnect) SetEvent(m_hWaitOnConnect);
            OnEvent(FD_CONNECT);
            break;
        case FD_CLOSE:
            SockTrace("(%s) CLOSE REQUEST RECEIVED(%i)\n", m_name, m_hSocket);
            m_peerClosed = true;
            OnEvent(FD_CLOSE);
            SockTrace("(%s) SENDING CLOSE REQUEST(%i%s)\n", m_name, m_hSocket, Mark(m_listening));
            m_pSocketManager->DeepDelete(this);
            break;
        default: break;
    }
}

// ---- System packets -----------------------------------------------------------

void CEncryptSocket::OnSys(BYTE* payload, DWORD length, ReplyContext* context, DWORD flags) {
    if (!m_pSocketManager) {
        SockTrace("m_pSocketManager is 0");
        std::free(payload);
        return;
    }
    if ((flags & PACKET_PING) && SendMsg(nullptr, 0, nullptr, PACKET_SYS | PACKET_PINGANSWER) != 0)
        SockTrace("*** error: CEncryptSocket::OnSys() SendMsg(1) failed %i", GetLastError());
    if (flags & PACKET_PINGANSWER) SockTrace("RECEIVE PINGANSWER(%i)\n", m_hSocket);
    if (flags & PACKET_REGISTER) HandleRegistration(payload, length, context);
    std::free(payload);
}

// A record of the wrong size cannot be checked and is refused like a peer
// without permission.
void CEncryptSocket::HandleRegistration(BYTE* payload, DWORD length, ReplyContext* context) {
    m_peerUserName.clear();
    m_peerSidText.clear();
    RegistrationRecord peer;
    const bool parsed = RegistrationRecord::Parse(payload, length, &peer);
    if (parsed && m_pSocketManager->CheckPermission(this, &peer)) {
        const RegistrationRecord own = m_pOwnRecord ? *m_pOwnRecord : RegistrationRecord::Make(nullptr, 0);
        SendMsg(own.Bytes(), RegistrationRecord::kSize, context, PACKET_SYS | PACKET_REGISTER);
        SockTrace("(%s) REGISTRATION REQUEST ACCEPTED(%i)\n", m_name, m_hSocket);
        m_peerUserName = peer.UserName();
        std::vector<BYTE> sid = peer.Sid();
        if (!sid.empty()) {
            if (WCHAR* text = CCheckAdminRights::ConvertPSIDToString(sid.data())) {
                m_peerSidText = plat::Utf16ToUtf8(text);
                delete[] text;
            }
        }
        m_registered = TRUE;
        m_pSocketManager->OnEvent(this, kRegistrationEvent);
        return;
    }
    if (SendMsg(nullptr, 0, context, PACKET_SYS | PACKET_REGISTER) != 0)
        SockTrace("*** error: CEncryptSocket::OnSys() SendMsg(2) failed %i", GetLastError());
    SockTrace("REGISTRATION REQUEST DECLINED(%i) - ACCESS DENIED\n", m_hSocket);
    if (Close(FALSE) != 0) SockTrace("*** error: CEncryptSocket::OnSys() Close() failed %i", GetLastError());
    m_registered = FALSE;
    OnError(ERROR_ACCESS_DENIED, kRegistrationEvent, nullptr);
    OnEvent(FD_CLOSE);
}

// ---- Connecting -----------------------------------------------------------------

bool CEncryptSocket::ResolveHost(const char* host, in_addr* address) {
    if (plat::EqualsNoCase(std::string_view(host), "localhost")) {
        SockTrace("Mapping to 127.0.0.1");
        address->s_addr = htonl(INADDR_LOOPBACK);
        return true;
    }
    const hostent* entry = ws::gethostbyname(host);
    SockTrace("(%s) PHASE 7", m_name);
    if (!entry || !entry->h_addr_list[0]) return false;
    std::memcpy(address, entry->h_addr_list[0], sizeof *address);
    return true;
}

int CEncryptSocket::ConnectFail(DWORD error, long event_bit) {
    if (event_bit) OnError(error, event_bit, nullptr);
    if (m_pSocketManager) m_pSocketManager->Remove(this, TRUE);
    if (m_hSocket) ws::closesocket(m_hSocket);
    m_hSocket = 0;
    ReleaseConnectionResources();
    SetLastError(error);
    return -1;
}

int CEncryptSocket::Escape(bool locked) {
    // The socket lock goes first: the manager's threads take the list lock
    // before a socket's lock, so removing the socket while holding its own
    // lock could deadlock against them.
    if (locked) m_lock.unlock();
    SockTrace("(%s) ESCAPE PHASE 1", m_name);
    OnError(ERROR_CANCELLED, FD_CONNECT, nullptr);
    SockTrace("(%s) ESCAPE PHASE 2", m_name);
    if (m_pSocketManager) m_pSocketManager->Remove(this, TRUE);
    SockTrace("(%s) ESCAPE PHASE 3", m_name);
    if (m_hSocket) ws::closesocket(m_hSocket);
    m_hSocket = 0;
    SockTrace("(%s) ESCAPE PHASE 4", m_name);
    CloseWaitConnectHandle();
    SockTrace("(%s) ESCAPE PHASE 5", m_name);
    SockTrace("(%s) ESCAPE PHASE 6", m_name);
    SockTrace("(%s) ESCAPE CANCEL", m_name);
    SetLastError(ERROR_CANCELLED);
    return -1;
}

int CEncryptSocket::Connect(const char* host, WORD port, BOOL base_only) {
    if (!host) host = "";
    SockTrace("Connect('%s', %i, %i)", host, port, base_only);
    if (!m_pSocketManager) {
        SockTrace("*** error: CEncryptSocket::Connect() m_pSocketManager == 0");
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    SockTrace("(%s) PHASE 1", host);
    m_name = host;
    m_closeReported = false;
    const int created = CRegSocket::Create(!base_only);
    SockTrace("(%s) PHASE 2", m_name);
    if (created != 0) {
        const DWORD error = GetLastError();
        SockTrace("*** error: CEncryptSocket::Connect() Create() failed %i", error);
        OnError(error, FD_CONNECT, nullptr);
        SetLastError(error);
        return -1;
    }
    SockTrace("(%s) PHASE 3", m_name);
    if (!m_pSocketManager->Add(this)) {
        SockTrace("*** error: CEncryptSocket::Connect() m_pSocketManager->Add() failed %i", GetLastError());
        OnError(ERROR_INVALID_PARAMETER, FD_CONNECT, nullptr);
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    SockTrace("(%s) PHASE 4", m_name);
    m_lock.lock();
    SockTrace("(%s) PHASE 5", m_name);
    if (CancelRequested()) return Escape(true);
    SockTrace("(%s) PHASE 6", m_name);
    in_addr address{};
    if (!ResolveHost(host, &address)) {
        const DWORD error = GetLastError();
        if (CancelRequested()) return Escape(true);
        SockTrace("(%s) PHASE 8", m_name);
        SockTrace("*** error: CEncryptSocket::Connect() gethostbyname() failed %i", error);
        m_lock.unlock();
        return ConnectFail(error, FD_CONNECT);
    }
    if (CancelRequested()) return Escape(true);
    m_hWaitOnConnect = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    SockTrace("(%s) PHASE 9", m_name);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr = address;
    const int started = ws::WSAConnect(m_hSocket, reinterpret_cast<sockaddr*>(&target), sizeof target);
    const DWORD connect_error = started == 0 ? 0 : GetLastError();
    SockTrace("(%s) PHASE 10", m_name);
    m_lock.unlock();
    SockTrace("LastError(1) = %i/%i", GetLastError(), ws::WSAGetLastError());
    if (CancelRequested()) return Escape(false);
    SockTrace("(%s) PHASE 11", m_name);
    if (connect_error != 0 && connect_error != WSAEWOULDBLOCK) {
        SockTrace("*** error: CEncryptSocket::Connect() WSAConnect() failed %i", connect_error);
        SockTrace("ERROR(%i): WSAConnect() failed\n", connect_error);
        return ConnectFail(connect_error, FD_CONNECT);
    }
    SockTrace("(%s) PHASE 12", m_name);
    const HANDLE waits[] = {m_hWaitOnConnect, m_hCancel};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) return Escape(false);
    SockTrace("(%s) PHASE 13", m_name);
    CloseWaitConnectHandle();
    if (m_connectResult != 0) return ConnectFail(m_connectResult, 0);  // reported by the Event thread
    SockTrace("(%s) PHASE 14", m_name);
    const DWORD timeout = m_pSocketManager->RegistrationTimeout();
    if (Register(timeout ? timeout : kDefaultRegistrationTimeoutMs) != 0) {
        const DWORD error = GetLastError();
        SockTrace("(%s) PHASE 15", m_name);
        if (error == ERROR_CANCELLED) SockTrace("(%s) CONNECTION CANCELLED(%i)\n", m_name, m_hSocket);
        else if (error == ERROR_ACCESS_DENIED) SockTrace("(%s) CONNECTION REFUSED(%i)\n", m_name, m_hSocket);
        SockTrace("*** error: CEncryptSocket::Connect() Register() failed %i", error);
        return ConnectFail(error, kRegistrationEvent);
    }
    SockTrace("(%s) PHASE 15", m_name);
    m_pSocketManager->OnEvent(this, kRegistrationEvent);
    SockTrace("(%s) PHASE 16", m_name);
    return 0;
}

// ---- Closing ---------------------------------------------------------------------

bool CEncryptSocket::WaitForPeerClose(DWORD ms) {
    plat::Clock& clock = plat::CurrentClock();
    const std::uint64_t deadline = clock.TickMs() + ms;
    char scratch[4096];
    for (;;) {
        if (m_hFdClose && WaitForSingleObject(m_hFdClose, 0) == WAIT_OBJECT_0) return true;
        const int n = ws::recv(m_hSocket, scratch, sizeof scratch, 0);
        if (n == 0 || (n < 0 && GetLastError() != WSAEWOULDBLOCK)) return true;
        if (n > 0) continue;
        const std::uint64_t now = clock.TickMs();
        if (now >= deadline) return false;
        WSAPOLLFD fd{m_hSocket, POLLIN, 0};
        ws::WSAPoll(&fd, 1, static_cast<INT>(deadline - now));
    }
}

int CEncryptSocket::Close(BOOL send_close_request) {
    if (!m_pSocketManager) {
        SockTrace("*** error: CEncryptSocket::Close() m_pSocketManager == 0");
        SetLastError(0);
        return -1;
    }
    if (m_listening || m_peerClosed) {
        SockTrace("(%s) CLOSING CONNECTION(%iL)\n", m_name, m_hSocket);
        {
            std::lock_guard lock(m_lock);
            if (m_hSocket && ws::closesocket(m_hSocket) != 0)
                SockTrace("*** error: CEncryptSocket::Close() closesocket() failed %i", GetLastError());
            m_hSocket = 0;
        }
        m_pSocketManager->CloseConnection(this);
        return 0;
    }
    std::lock_guard list(m_pSocketManager->ListLock());
    std::lock_guard lock(m_lock);
    std::lock_guard del(m_pSocketManager->DeleteLock());
    if (!m_hFdClose && !(m_hFdClose = CreateEventW(nullptr, TRUE, FALSE, nullptr)))
        SockTrace("ERROR(%i): CreateEvent() failed\n", GetLastError());
    {
        if (send_close_request) SendCloseRequest();
        // The Event thread cannot run while the list lock is held here, so the
        // peer's close is watched for on the socket itself.
        if (send_close_request && m_hSocket && HasRegistration()) {
            SockTrace("(%s) WAITING ON FD_CLOSE(%i)\n", m_name, m_hSocket);
            if (!WaitForPeerClose(kCloseWaitMs)) SockTrace("(%s) FD_CLOSE TIMEOUT(%i)\n", m_name, m_hSocket);
        }
    }
    m_pSocketManager->CloseConnection(this);
    if (m_hSocket) ws::closesocket(m_hSocket);
    m_hSocket = 0;
    CloseWaitConnectHandle();
    DestroyFDCLOSEEvent();
    return 0;
}

void CEncryptSocket::ReleaseConnectionResources() {
    ReleaseSendQueue();
    ReleaseBuffers();
    ReleaseRegistration();
    DestroyEvents();
    std::lock_guard lock(m_lock);
    m_peerSidText.clear();
    m_peerUserName.clear();
    m_peerAddress = sockaddr_in{};
}

// ---- Keep-alive ----------------------------------------------------------------------

void CEncryptSocket::CheckKeepAlive() {
    if (m_listening || !m_hSocket) return;
    const DWORD now = GetTickCount();
    if (m_activityTick > now) m_activityTick = now;
    const DWORD idle = now - m_activityTick;
    if (m_pingOutstanding && idle >= kTargetTimeoutMs) {
        SockTrace("(%s) TARGET TIMEOUT(%i)\n", m_name, m_hSocket);
        Close(TRUE);
    } else if (!m_pingOutstanding && idle >= kPingAfterMs) {
        SockTrace("(%s) SEND PING(%i)\n", m_name, m_hSocket);
        if (SendMsg(nullptr, 0, nullptr, PACKET_SYS | PACKET_PING) != 0) {
            Close(TRUE);
            return;
        }
        m_activityTick = 0xFFFFFFFFu;
        m_pingOutstanding = true;
    }
}
