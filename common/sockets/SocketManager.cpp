#include "sockets/SocketManager.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "base/clock.h"
#include "base/handle.h"
#include "base/message_text.h"
#include "base/sync.h"
#include "base/win_errors.h"
#include "security/CheckAdminRights.h"
#include "security/accounts.h"
#include "security/security_errors.h"
#include "sockets/SocketLog.h"

namespace {

CEncryptSocket* AsSocket(zmsdk::array::element e) { return reinterpret_cast<CEncryptSocket*>(e); }
zmsdk::array::element AsElement(CEncryptSocket* s) { return reinterpret_cast<zmsdk::array::element>(s); }

int Fail(DWORD error) {
    SetLastError(error);
    return -1;
}

}  // namespace

CSocketManager::CSocketManager() = default;

CSocketManager::~CSocketManager() {
    if (m_created) Shutdown();
}

void CSocketManager::OnEvent(CEncryptSocket*, long) {}

void CSocketManager::OnMsg(CEncryptSocket*, BYTE* payload, DWORD, ReplyContext*, DWORD) { std::free(payload); }

void CSocketManager::OnError(CEncryptSocket* socket, DWORD error, long, const char* text) {
    const std::string name = socket ? socket->DisplayName() : std::string();
    WCHAR system[512] = {};
    const bool has_system = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                           0, system, 512, nullptr) != 0;
    const bool has_text = text && *text;
    if (has_text && has_system) SockTrace("(%s) *** error: [%i]: %s: %s", name, error, text, std::u16string(system));
    else if (has_text) SockTrace("(%s) *** error: [%i]: %s", name, error, text);
    else if (has_system) SockTrace("(%s) *** error: [%i]: %s", name, error, std::u16string(system));
    else SockTrace("(%s) *** error: [%i]", name, error);
}

BOOL CSocketManager::CheckPermission(CEncryptSocket* socket, const RegistrationRecord* record) {
    const DWORD mask = socket->GetPermission();
    const SOCKET handle = socket->Handle();
    if (mask & PERMISSION_LOCALUSERS) {
        const auto* ip = reinterpret_cast<const BYTE*>(&socket->PeerAddress().sin_addr);
        SockTrace("Peer = %i.%i.%i.%i\n", ip[0], ip[1], ip[2], ip[3]);
        if (ip[0] == 127 && ip[1] == 0 && ip[2] == 0 && ip[3] == 1) {
            SockTrace("%u: CHECK PERMISSION SUCCEEDED - LOCALUSERS", handle);
            return TRUE;
        }
    }
    if ((mask & PERMISSION_LOCALADMINS) && record) {
        std::vector<BYTE> sid = record->Sid();
        CCheckAdminRights checker(GetSocketLog());
        if (!sid.empty() && checker.AdminRights(nullptr, sid.data()) == 1) {
            SockTrace("%u: CHECK PERMISSION SUCCEEDED - LOCALADMINS", handle);
            return TRUE;
        }
    }
    if (mask & PERMISSION_ALLUSERS) {
        SockTrace("%u: CHECK PERMISSION SUCCEEDED - ALLUSERS", handle);
        return TRUE;
    }
    SockTrace("%u: CHECK PERMISSION FAILED, acc=0x%lu", handle, mask);
    return FALSE;
}

int CSocketManager::Create(BOOL skip_user_sid) {
    if (!skip_user_sid) {
        DWORD length = 0;
        PSID sid = nullptr;
        const HRESULT hr = QueryUserSID(&length, &sid);
        if (hr != S_OK) {
            SockTrace("*** error: CSocketManager::Create() QueryUserSID() failed %i", hr);
            return Fail(ERROR_INVALID_PARAMETER);
        }
        m_pUserSid.assign(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + length);
        std::free(sid);
    }
    if (m_created) return Fail(ERROR_INVALID_PARAMETER);
    m_hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_hStop) return Fail(WSA_INVALID_HANDLE);
    m_hNetworkEvent = ws::WSACreateEvent();
    m_hNewPacketArrived = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_hWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_hSocketRemoved = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_pSockets = std::make_unique<zmsdk::array>();
    m_pMessages = std::make_unique<zmsdk::queue>();
    m_pEventThread = std::make_unique<WorkerThread>();
    m_pMsgThread = std::make_unique<WorkerThread>();
    if (!m_hNetworkEvent || !m_hNewPacketArrived || !m_hWake || !m_hSocketRemoved ||
        !m_pEventThread->Start(&CSocketManager::EventRoutine, this, "Event") ||
        !m_pMsgThread->Start(&CSocketManager::MsgRoutine, this, "Msg")) {
        SetEvent(m_hStop);
        m_pEventThread->Join();
        m_pMsgThread->Join();
        m_pEventThread.reset();
        m_pMsgThread.reset();
        for (HANDLE h : {m_hStop, m_hNetworkEvent, m_hNewPacketArrived, m_hWake, m_hSocketRemoved})
            if (h) CloseHandle(h);
        m_hStop = m_hNetworkEvent = m_hNewPacketArrived = m_hWake = m_hSocketRemoved = nullptr;
        return Fail(WSA_NOT_ENOUGH_MEMORY);
    }
    m_created = true;
    return 0;
}

CEncryptSocket* CSocketManager::NewSocket() {
    auto* socket = new (std::nothrow) CEncryptSocket(0, this);
    if (!socket) SetLastError(WSA_NOT_ENOUGH_MEMORY);
    return socket;
}

BOOL CSocketManager::Add(CEncryptSocket* socket) {
    if (!socket || !m_pSockets) return FALSE;
    std::lock_guard lock(m_listLock);
    return m_pSockets->Insert(AsElement(socket), -1);
}

BOOL CSocketManager::Remove(CEncryptSocket* socket, BOOL take_lock) {
    const DWORD saved = GetLastError();
    if (!m_pSockets) return FALSE;
    std::unique_lock lock(m_listLock, std::defer_lock);
    if (take_lock) lock.lock();
    const int pos = m_pSockets->Find(AsElement(socket));
    const BOOL removed = pos >= 0 && m_pSockets->Remove(pos) != zmsdk::array::kNone;
    if (removed) SetEvent(m_hSocketRemoved);
    SetLastError(saved);
    return removed;
}

int CSocketManager::DeleteSocket(CEncryptSocket* socket) {
    if (!socket || !m_pSockets) return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard lock(m_listLock);
    const int pos = m_pSockets->Find(AsElement(socket));
    if (pos < 0) {
        SockTrace("*** error: CSocketManager::DeleteSocket() m_pSockets->get_pos() failed %i", ERROR_INVALID_PARAMETER);
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (m_pSockets->Remove(pos) == zmsdk::array::kNone) {
        SockTrace("*** error: CSocketManager::DeleteSocket() m_pSockets->remove() failed %i", ERROR_INVALID_PARAMETER);
        return Fail(ERROR_INVALID_PARAMETER);
    }
    SetEvent(m_hSocketRemoved);
    return 0;
}

bool CSocketManager::Deliverable(CEncryptSocket* socket) {
    std::lock_guard lock(m_listLock);
    return Contains(socket) || std::find(m_retired.begin(), m_retired.end(), socket) != m_retired.end();
}

bool CSocketManager::Contains(CEncryptSocket* socket) {
    std::lock_guard lock(m_listLock);
    return m_pSockets && m_pSockets->Find(AsElement(socket)) >= 0;
}

int CSocketManager::SocketCount() {
    std::lock_guard lock(m_listLock);
    return m_pSockets ? m_pSockets->Count() : 0;
}

std::vector<CEncryptSocket*> CSocketManager::Snapshot() {
    std::lock_guard lock(m_listLock);
    std::vector<CEncryptSocket*> sockets;
    for (int i = 0; m_pSockets && i < m_pSockets->Count(); ++i) sockets.push_back(AsSocket(m_pSockets->Get(i)));
    return sockets;
}

void CSocketManager::Retire(CEncryptSocket* socket) {
    std::lock_guard lock(m_listLock);
    if (socket->IsAccepted() && std::find(m_retired.begin(), m_retired.end(), socket) == m_retired.end())
        m_retired.push_back(socket);
}

// Complete packets that arrived before the peer's close are still handled
// (a reply, or a last request): the buffers go with the teardown.
void CSocketManager::CutRemaining(CEncryptSocket* socket) {
    std::lock_guard socket_lock(socket->Lock());
    for (int n = 0; n < 1 << 16 && socket->Packetize(m_pMessages.get()) == 1; ++n) {
    }
    SetEvent(m_hNewPacketArrived);
}

void CSocketManager::FreeRetired() {
    std::lock_guard lock(m_listLock);
    // A message cut during a teardown may still refer to its socket.
    if (m_pMessages && m_pMessages->Count() > 0) return;
    for (CEncryptSocket* s : m_retired) delete s;
    m_retired.clear();
}

void CSocketManager::ReleaseConnection(CEncryptSocket* socket) {
    if (DeleteSocket(socket) != 0) return;
    // A connection closed from this side is reported closed like one the
    // peer closed, so the owner's connection count stays right.
    if (!socket->IsListening()) socket->OnEvent(FD_CLOSE);
    socket->DestroyFDCLOSEEvent();
    socket->ReleaseConnectionResources();
    Retire(socket);
}

void CSocketManager::DeepDelete(CEncryptSocket* socket) {
    if (socket->FdCloseEvent() && !SetEvent(socket->FdCloseEvent()))
        SockTrace("*** error: CSocketManager::DeepDelete() SetEvent() failed %i", GetLastError());
    std::lock_guard list(m_listLock);
    std::lock_guard socket_lock(socket->Lock());
    std::lock_guard del(m_deleteLock);
    if (!Contains(socket)) return;
    CutRemaining(socket);
    if (!Contains(socket)) return;  // a system packet closed it meanwhile
    const SOCKET s = socket->Handle();
    if (ws::WSAEventSelect(s, nullptr, 0) != 0) SockTrace("ERROR(%i): WSAEventSelect(%i) failed\n", GetLastError(), s);
    if (ws::shutdown(s, SD_SEND) != 0) SockTrace("ERROR(%i): shutdown() failed\n", GetLastError());
    socket->ReleasePendingNetworkData();
    SockTrace("(%s) CLOSING CONNECTION(%i%s)\n", socket->DisplayName(), s, socket->IsListening() ? "L" : "");
    socket->Cancel();
    if (ws::closesocket(s) != 0)
        SockTrace("*** error: CSocketManager::DeepDelete() closesocket() failed %i", GetLastError());
    socket->SetHandle(0);
    if (DeleteSocket(socket) != 0)
        SockTrace("*** error: CSocketManager::DeepDelete() DeleteSocket() failed %i", GetLastError());
    socket->DestroyFDCLOSEEvent();
    socket->ReleaseConnectionResources();
    Retire(socket);
}

void CSocketManager::CloseConnection(CEncryptSocket* socket) {
    std::lock_guard list(m_listLock);
    std::lock_guard socket_lock(socket->Lock());
    std::lock_guard del(m_deleteLock);
    if (!Contains(socket)) return;
    SockTrace("(%s) CLOSING CONNECTION(%i)\n", socket->DisplayName(), socket->Handle());
    if (socket->Handle()) socket->ReleasePendingNetworkData();
    socket->Cancel();
    if (socket->Handle()) ws::closesocket(socket->Handle());
    socket->SetHandle(0);
    ReleaseConnection(socket);
}

int CSocketManager::CloseAllSockets() {
    SockTrace("CLOSEALLSOCKETS PHASE 1");
    std::vector<CEncryptSocket*> sockets;
    {
        std::lock_guard lock(m_listLock);
        SockTrace("CLOSEALLSOCKETS PHASE 2");
        sockets = Snapshot();
        if (sockets.empty()) {
            SockTrace("CLOSEALLSOCKETS BREAKOUT");
            return 0;
        }
        SockTrace("CLOSEALLSOCKETS PHASE 3");
        for (std::size_t i = 0; i < sockets.size(); ++i) {
            SockTrace("(%s) CLOSEALLSOCKETS PHASE 4a i=%i", sockets[i]->DisplayName(), static_cast<int>(i));
            SockTrace("(%s) CLOSEALLSOCKETS PHASE 4b HANDLE=%i", sockets[i]->DisplayName(), sockets[i]->Handle());
        }
    }
    SockTrace("CLOSEALLSOCKETS PHASE 5");
    SockTrace("CLOSEALLSOCKETS PHASE 7");
    RequestCloseAll();
    WaitForPeerCloses();
    {
        std::lock_guard lock(m_listLock);
        for (CEncryptSocket* s : Connections(false)) {
            if (s->HasRegistration()) SockTrace("(%s) FD_CLOSE TIMEOUT(%i)\n", s->DisplayName(), s->Handle());
            CloseConnection(s);
        }
    }
    SockTrace("CLOSEALLSOCKETS PHASE 8");
    for (int round = 0; round < 1 << 16; ++round) {
        const std::vector<CEncryptSocket*> listeners = Snapshot();
        if (listeners.empty()) break;
        listeners.front()->Close(TRUE);
        Remove(listeners.front(), TRUE);
    }
    SockTrace("CLOSEALLSOCKETS PHASE 9");
    {
        std::lock_guard lock(m_listLock);
        if (m_pSockets) m_pSockets->Clear();
    }
    SockTrace("CLOSEALLSOCKETS PHASE 10");
    SockTrace("CLOSEALLSOCKETS PHASE 11");
    return 0;
}

void CSocketManager::RequestCloseAll() {
    std::lock_guard lock(m_listLock);
    for (CEncryptSocket* s : Connections(false)) s->SendCloseRequest();
}

void CSocketManager::WakeEventThread() {
    if (m_hWake) SetEvent(m_hWake);
}

std::vector<CEncryptSocket*> CSocketManager::Connections(bool waiting_only) {
    std::vector<CEncryptSocket*> connections;
    for (CEncryptSocket* s : Snapshot())
        if (!s->IsListening() && (!waiting_only || (s->Handle() && s->HasRegistration()))) connections.push_back(s);
    return connections;
}

DWORD CSocketManager::CloseWaitLeft(const std::vector<CEncryptSocket*>& sockets) {
    const DWORD now = GetTickCount();
    DWORD left = 0;
    for (const CEncryptSocket* s : sockets) {
        const DWORD waited = now - s->CloseRequestTick();
        if (waited < CEncryptSocket::kCloseWaitMs) left = std::max(left, CEncryptSocket::kCloseWaitMs - waited);
    }
    return left;
}

// The peers' closes are waited for together, and each connection's wait
// counts from its own close request: a stop that asked them to close a
// while ago does not wait again, however many peers do not answer.
void CSocketManager::WaitForPeerCloses() {
    {
        std::lock_guard lock(m_listLock);
        for (CEncryptSocket* s : Connections(true))
            SockTrace("(%s) WAITING ON FD_CLOSE(%i)\n", s->DisplayName(), s->Handle());
    }
    for (;;) {
        DWORD ms = 0;
        {
            // Held while the sockets are looked at: a socket the Event
            // thread removed is freed only under this lock.
            std::lock_guard lock(m_listLock);
            ms = CloseWaitLeft(Connections(true));
        }
        if (ms == 0) return;
        WaitForSingleObject(m_hSocketRemoved, ms);
    }
}

int CSocketManager::Shutdown() {
    if (!m_created) return Fail(ERROR_INVALID_PARAMETER);
    CloseAllSockets();
    WorkerThread shutdown;
    shutdown.Start(
        [](LPVOID self) -> DWORD {
            auto* m = static_cast<CSocketManager*>(self);
            SetEvent(m->m_hStop);
            m->m_pEventThread->Join();
            m->m_pMsgThread->Join();
            return 0;
        },
        this, "Shutdown");
    shutdown.Join();
    std::lock_guard lock(m_listLock);
    m_pUserSid.clear();
    m_pEventThread.reset();
    m_pMsgThread.reset();
    m_pSockets.reset();
    for (HANDLE h : {m_hStop, m_hNetworkEvent, m_hNewPacketArrived, m_hWake, m_hSocketRemoved}) CloseHandle(h);
    m_hStop = m_hNetworkEvent = m_hNewPacketArrived = m_hWake = m_hSocketRemoved = nullptr;
    FreeRetired();
    m_created = false;
    return 0;
}

HRESULT CSocketManager::QueryUserSID(DWORD* length, PSID* sid) {
    if (!length || !sid) return E_INVALIDARG;
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
        if (GetLastError() != ERROR_NO_TOKEN || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return E_FAIL;
    }
    DWORD needed = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &needed);
    std::vector<BYTE> info(needed);
    const BOOL got = needed && GetTokenInformation(token, TokenUser, info.data(), needed, &needed);
    CloseHandle(token);
    if (!got) return E_FAIL;
    WCHAR name[200] = {}, domain[400] = {};
    DWORD name_chars = 200, domain_chars = 400;
    SID_NAME_USE use{};
    if (!LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid, name, &name_chars, domain,
                           &domain_chars, &use))
        return E_FAIL;
    const std::u16string account = plat::Format(u"%s\\%s", std::u16string(domain), std::u16string(name));
    DWORD sid_bytes = 0;
    domain_chars = 400;
    LookupAccountNameW(nullptr, account.c_str(), nullptr, &sid_bytes, domain, &domain_chars, &use);
    if (sid_bytes == 0) return E_FAIL;
    void* out = std::calloc(1, sid_bytes + 1);
    domain_chars = 400;
    if (!out || !LookupAccountNameW(nullptr, account.c_str(), out, &sid_bytes, domain, &domain_chars, &use)) {
        std::free(out);
        return E_FAIL;
    }
    *sid = out;
    *length = sid_bytes;
    return S_OK;
}
