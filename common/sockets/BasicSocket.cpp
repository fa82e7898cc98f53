#include "sockets/BasicSocket.h"

#include <vector>

#include "base/clock.h"
#include "base/handle.h"
#include "base/sync.h"
#include "base/text.h"
#include "base/win_errors.h"
#include "sockets/SocketLog.h"
#include "sockets/SocketManager.h"

namespace {

constexpr DWORD kRequiredFlags = XP1_GUARANTEED_DELIVERY | XP1_GUARANTEED_ORDER;
constexpr int kDrainBlock = 4096;

int Fail(DWORD error) {
    SetLastError(error);
    return -1;
}

bool FetchCatalog(std::vector<WSAPROTOCOL_INFOW>* entries) {
    DWORD length = 0;
    if (ws::WSAEnumProtocolsW(nullptr, nullptr, &length) != SOCKET_ERROR || GetLastError() != WSAENOBUFS)
        return false;
    entries->resize(length / sizeof(WSAPROTOCOL_INFOW));
    const int count = ws::WSAEnumProtocolsW(nullptr, entries->data(), &length);
    if (count == SOCKET_ERROR) return false;
    entries->resize(static_cast<std::size_t>(count));
    return true;
}

void ListCatalog(const std::vector<WSAPROTOCOL_INFOW>& entries) {
    SockTrace("Listing protocols...");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        SockTrace("%i: sz='%s', iProt=%i, iVer=%d, iFamily=%d, iType=%d, minport=%d, maxport=%d, "
                  "flags[1..4]=0x%x:0x%x:0x%x:0x%x",
                  static_cast<int>(i), plat::FieldView(e.szProtocol, std::size(e.szProtocol)), e.iProtocol,
                  e.iVersion, e.iAddressFamily, e.iSocketType, e.iMinSockAddr, e.iMaxSockAddr, e.dwServiceFlags1,
                  e.dwServiceFlags2, e.dwServiceFlags3, e.dwServiceFlags4);
    }
}

// The catalogue position to make the socket from (0 when nothing fits).
std::size_t ChooseEntry(const std::vector<WSAPROTOCOL_INFOW>& entries, BOOL use_layered) {
    SockTrace("Looking up protocol...");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        if (e.iProtocol != IPPROTO_TCP || e.iAddressFamily != AF_INET) continue;
        if ((e.dwServiceFlags1 & kRequiredFlags) != kRequiredFlags) continue;
        if (use_layered) {
            SockTrace("PROTOCOL FOUND: %i", static_cast<int>(i));
            return i;
        }
        if (e.dwServiceFlags1 & XP1_IFS_HANDLES) {
            SockTrace("BASEPROVIDER PROTOCOL FOUND: %i", static_cast<int>(i));
            return i;
        }
    }
    return 0;
}

}  // namespace

CBasicSocket::CBasicSocket(SOCKET socket, CSocketManager* manager)
    : m_hSocket(socket), m_pSocketManager(manager), m_hCancel(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CBasicSocket::~CBasicSocket() {
    if (m_hSocket) ws::closesocket(m_hSocket);
    DestroyEvents();
}

SOCKET CBasicSocket::CreateSocket(BOOL use_layered) {
    std::vector<WSAPROTOCOL_INFOW> entries;
    const bool listed = FetchCatalog(&entries);
    SockTrace(use_layered ? "*** Using LSP's ***" : "*** Not Using LSP's ***");
    if (!listed || entries.empty()) {
        SockTrace("EnumProtocols() failed");
        SockTrace("no protocol fits");
        if (listed) SetLastError(WSAEPROTONOSUPPORT);
        return INVALID_SOCKET;
    }
    ListCatalog(entries);
    const std::size_t pos = ChooseEntry(entries, use_layered);
    const SOCKET s = ws::WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &entries[pos], 0,
                                    WSA_FLAG_OVERLAPPED);
    if (s == INVALID_SOCKET) {
        SockTrace("WSASocket(pos=%i) failed Error(%i)", static_cast<int>(pos), GetLastError());
        return INVALID_SOCKET;
    }
    SockTrace("SCS: socket = %i", s);
    const int on = 1;
    if (ws::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on) != 0) {
        const DWORD error = GetLastError();
        SockTrace("setsockopt() failed Error(%i)", error);
        ws::closesocket(s);
        SetLastError(error);
        return INVALID_SOCKET;
    }
    return s;
}

int CBasicSocket::Create(BOOL use_layered) {
    if (!m_pSocketManager || !m_pSocketManager->NetworkEvent()) return Fail(ERROR_INVALID_PARAMETER);
    if (!m_hCancel) m_hCancel = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::lock_guard lock(m_lock);
    m_activityTick = GetTickCount();
    m_sendFailed = false;
    m_closeRequested = false;
    if (!m_hSocket) {
        const SOCKET s = CreateSocket(use_layered);
        if (s == INVALID_SOCKET) {
            SockTrace("CreateSocket() failed => m_hSocket is invalid");
            return -1;
        }
        m_hSocket = s;
    }
    if (ws::WSAEventSelect(m_hSocket, m_pSocketManager->NetworkEvent(), FD_ALL_EVENTS) != 0) {
        const DWORD error = GetLastError();
        SockTrace("*** error: CBasicSocket::Create() WSAEventSelect() failed %i", error);
        ws::WSAEventSelect(m_hSocket, nullptr, 0);
        ws::closesocket(m_hSocket);
        m_hSocket = 0;
        CloseWaitConnectHandle();
        return Fail(error);
    }
    return 0;
}

int CBasicSocket::Bind(WORD port, const in_addr* address) {
    std::lock_guard lock(m_lock);
    if (!m_hSocket || port == 0) {
        SockTrace("SB: invalid param (%i|%i)", m_hSocket, port);
        return Fail(ERROR_INVALID_PARAMETER);
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = address ? address->s_addr : htonl(INADDR_ANY);
    if (ws::bind(m_hSocket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        SockTrace("*** error: CBasicSocket::Bind() bind() failed %i", GetLastError());
        return -1;
    }
    return 0;
}

int CBasicSocket::Write(const void* data, int length) {
    if (!data || length < 0) return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard lock(m_lock);
    return ws::send(m_hSocket, static_cast<const char*>(data), length, 0);
}

int CBasicSocket::Read(void* buffer, int size) {
    if (!buffer || size <= 0) return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard lock(m_lock);
    return ws::recv(m_hSocket, static_cast<char*>(buffer), size, 0);
}

void CBasicSocket::Cancel() {
    SockTrace("Cancel?");
    SockTrace("SetEvent(%i)", reinterpret_cast<std::uintptr_t>(m_hCancel));
    SetEvent(m_hCancel);
    m_cancelled = true;
}

bool CBasicSocket::CancelRequested() const { return m_hCancel && WaitForSingleObject(m_hCancel, 0) == WAIT_OBJECT_0; }

void CBasicSocket::ReleasePendingNetworkData() {
    char block[kDrainBlock];
    for (int round = 0; round < 1 << 16; ++round) {
        const int n = ws::recv(m_hSocket, block, sizeof block, 0);
        if (n > 0) continue;
        if (n < 0 && GetLastError() != WSAEWOULDBLOCK)
            SockTrace("ERROR(%i): ReleasePendingNetworkData() failed\n", GetLastError());
        return;
    }
}

std::string CBasicSocket::GetPeerName(int name_flags) {
    sockaddr_in peer{};
    int length = sizeof peer;
    if (ws::getpeername(m_hSocket, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return {};
    char host[1025] = {};
    if (ws::getnameinfo(reinterpret_cast<sockaddr*>(&peer), length, host, sizeof host, nullptr, 0, name_flags) != 0)
        return {};
    return host;
}

void CBasicSocket::SetHandle(SOCKET socket) {
    std::lock_guard lock(m_lock);
    if (m_hSocket) ws::closesocket(m_hSocket);
    m_hSocket = socket;
}

void CBasicSocket::CloseWaitConnectHandle() {
    if (m_hWaitOnConnect) CloseHandle(m_hWaitOnConnect);
    m_hWaitOnConnect = nullptr;
}

int CBasicSocket::Close(BOOL send_close_request) {
    std::lock_guard lock(m_lock);
    if (send_close_request) SendCloseRequest();
    int result = 0;
    if (m_hSocket && ws::closesocket(m_hSocket) != 0) result = -1;
    m_hSocket = 0;
    return result;
}

void CBasicSocket::SendCloseRequest() {
    std::lock_guard lock(m_lock);
    if (m_listening || !m_hSocket || m_closeRequested) return;
    FlushSendQueue();
    SockTrace("(%s) SENDING CLOSE REQUEST(%i)\n", m_name, m_hSocket);
    ws::shutdown(m_hSocket, SD_SEND);
    m_closeRequested = true;
    m_closeRequestTick = GetTickCount();
}

void CBasicSocket::OnError(DWORD error, long event_bit, const char*) {
    if (event_bit != FD_CONNECT) return;
    const DWORD saved = GetLastError();
    m_connectResult = error;
    if (m_hWaitOnConnect) SetEvent(m_hWaitOnConnect);
    SetLastError(saved);
}

void CBasicSocket::OnEvent(long) {}
void CBasicSocket::OnInternalEvent(long) {}

void CBasicSocket::DestroyEvents() {
    CloseWaitConnectHandle();
    if (m_hCancel) CloseHandle(m_hCancel);
    m_hCancel = nullptr;
    m_activityTick = 0;
    m_cancelled = false;
}

int CBasicSocket::SendBlock(const BYTE* data, DWORD length) {
    if (m_sendFailed) return Fail(WSAECONNABORTED);
    if (m_sendQueue.Send(m_hSocket, data, length) == 0) return 0;
    const DWORD error = GetLastError();
    if (error == WSAENOBUFS) {
        SockTrace("(%s) *** error: send queue over %lu bytes, closing connection(%i)", m_name,
                  static_cast<unsigned long>(SendQueue::kLimitBytes), m_hSocket);
        m_sendFailed = true;
        m_sendQueue.Clear();
        // The manager's Event thread closes the connection: this thread may
        // hold locks that closing must take first.
        if (m_pSocketManager) m_pSocketManager->WakeEventThread();
    }
    return Fail(error);
}

void CBasicSocket::FlushSendQueue() {
    std::lock_guard lock(m_lock);
    if (m_hSocket && m_sendQueue.Flush(m_hSocket) != 0) m_sendQueue.Clear();  // the close follows as FD_CLOSE
}

bool CBasicSocket::IsSendStalled(DWORD now) {
    std::lock_guard lock(m_lock);
    return m_hSocket && (m_sendFailed || m_sendQueue.Stalled(now));
}

std::size_t CBasicSocket::QueuedBytes() {
    std::lock_guard lock(m_lock);
    return m_sendQueue.Size();
}

void CBasicSocket::ReleaseSendQueue() {
    std::lock_guard lock(m_lock);
    m_sendQueue.Clear();
}
