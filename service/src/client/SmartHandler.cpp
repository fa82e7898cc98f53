#include "SmartHandler.h"

#include <algorithm>
#include <cstdlib>

#include "base/clock.h"
#include "base/sync.h"
#include "marshal/SmartServicePort.h"
#include "sockets/PacketFormat.h"
#include "sockets/SocketLibrary.h"

namespace {

constexpr DWORD kRegistrationTimeoutMs = 5000;

}  // namespace

CSmartHandler::CSmartHandler(CLog* log) : CSmartHandler(log, SmartServicePort()) {}

CSmartHandler::CSmartHandler(CLog* log, WORD port) : m_log(log), m_port(port) {
    m_libraryStarted = StartSocketLibrary(2, 2) == 0;
    m_hResponseEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_hLinkStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hBroken = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    SetDeliverOnEventThread(true);
}

CSmartHandler::~CSmartHandler() {
    StopLink();
    if (CEncryptSocket* connection = m_pConnection.exchange(nullptr)) {
        connection->Close(TRUE);
        m_closed.push_back(connection);
    }
    Shutdown();
    for (CEncryptSocket* socket : m_closed) delete socket;
    FreeSmartDeviceList(m_pDeviceList);
    m_devices.clear();
    for (HANDLE h : {m_hResponseEvent, m_hLinkStop, m_hBroken}) {
        if (h) CloseHandle(h);
    }
    if (m_libraryStarted) StopSocketLibrary();
}

CEncryptSocket* CSmartHandler::Connect() {
    CEncryptSocket* socket = NewSocket();
    if (!socket) return nullptr;
    {
        std::lock_guard connecting(m_connectingLock);
        if (m_stopping) {
            delete socket;
            return nullptr;
        }
        m_pConnecting = socket;
    }
    const bool connected = socket->Connect("localhost", m_port, FALSE) == 0;
    {
        std::lock_guard connecting(m_connectingLock);
        m_pConnecting = nullptr;
    }
    if (connected) return socket;
    DeleteSocket(socket);
    delete socket;
    return nullptr;
}

void CSmartHandler::Install(CEncryptSocket* socket) {
    std::lock_guard requestLock(m_requestLock);
    // Cleared before the new connection is current, so what an earlier one
    // left behind is forgotten and a close of the new one is not.
    m_broken = false;
    ResetEvent(m_hBroken);
    m_pConnection = socket;
}

void CSmartHandler::Disconnect() {
    m_online = false;
    std::lock_guard requestLock(m_requestLock);
    CEncryptSocket* connection = m_pConnection.exchange(nullptr);
    if (!connection) return;
    {
        // A connection the peer closed has left the manager, or leaves it in
        // the Event thread's round that holds the list lock.
        std::lock_guard list(ListLock());
        if (Contains(connection)) connection->Close(TRUE);
    }
    // A message of it may still be on its way through the Msg thread, which
    // drops it; the object itself goes with the handler.
    m_closed.push_back(connection);
}

int CSmartHandler::Initialize() {
    if (m_link.joinable() || Create(FALSE) != 0) return 0;
    SetRegistrationTimeout(kRegistrationTimeoutMs);
    if (CEncryptSocket* socket = Connect()) {
        std::lock_guard requestLock(m_requestLock);
        Install(socket);
        m_online = true;
        // A listing that failed is tried again on the link's next connection.
        if (!MakeDeviceVector()) MarkBroken();
    } else {
        SetEvent(m_hBroken);  // the link thread connects when the service is there
    }
    StartLink();
    return 0;
}

bool CSmartHandler::MakeDeviceVector() {
    std::vector<SmartDevice> listed;
    if (!ListDevices(listed)) return false;
    SmartDevice* const list = LinkRecords(listed);
    std::vector<SmartDevice*> prepared;
    for (SmartDevice* device = list; device; device = device->next) {
        LogIdentity(*device);
        if (Prepare(device)) prepared.push_back(device);
    }
    m_pDeviceList = list;
    m_devices = std::move(prepared);
    m_deviceCount.store(static_cast<int>(m_devices.size()), std::memory_order_release);
    m_listed = true;
    return true;
}

SmartDevice* CSmartHandler::GetDevice(int index) const {
    const auto devices = Devices();
    if (index < 0 || static_cast<std::size_t>(index) >= devices.size()) return nullptr;
    return devices[static_cast<std::size_t>(index)];
}

bool CSmartHandler::AnyGone() const {
    const auto devices = Devices();
    return std::any_of(devices.begin(), devices.end(), [this](const SmartDevice* d) { return IsGone(*d); });
}

bool CSmartHandler::IsHeld(const SmartDevice& listed) const {
    const auto devices = Devices();
    return std::any_of(devices.begin(), devices.end(),
                       [&](const SmartDevice* d) { return SameDrive(CopyRecord(*d), listed); });
}

bool CSmartHandler::Resync() {
    if (!m_listed) return MakeDeviceVector();
    std::vector<SmartDevice> listed;
    if (!ListDevices(listed)) return false;
    // The drives are prepared, and their health read, on the listed copies
    // before the held records take them over: a new service's record reads
    // health 0 until its status is read, and the window would take that for
    // a failing drive.
    for (SmartDevice& fresh : listed) {
        if (!IsHeld(fresh) || !Prepare(&fresh)) continue;
        ReadStatus(&fresh);
    }
    MatchRecords(m_pDeviceList, listed);
    return true;
}

void CSmartHandler::FollowGoneDrives() {
    std::lock_guard requestLock(m_requestLock);
    if (!AnyGone()) {
        m_resyncPause = 0;
        return;
    }
    const ULONGLONG now = GetTickCount64();
    if (m_resyncPause != 0 && now < m_nextResyncTick) return;
    m_resyncPause = m_resyncPause == 0 ? kFirstRetryMs : std::min(m_resyncPause * 2, kMaxRetryMs);
    m_nextResyncTick = now + m_resyncPause;
    Resync();
}

int CSmartHandler::RefreshSmartStatus() {
    FollowGoneDrives();
    int result = 0;
    for (SmartDevice* device : Devices()) {
        if (IsGone(*device)) continue;
        CLog::Print(m_log, 5, u"", "SH:USV: CSmartHandler::RefreshSmartStatus ...");
        ReadStatus(device);
        result = ReadAttributes(device) ? 1 : 0;
        CLog::Print(m_log, 5, u"", "SH:USV: CSmartHandler::RefreshSmartStatus returned: %d", result);
    }
    return result;
}

bool CSmartHandler::SendRequest(CZmArchive& request, CZmArchive& response) {
    response.Reset();
    std::lock_guard requestLock(m_requestLock);
    CEncryptSocket* const connection = m_pConnection.load();
    if (!connection) return false;
    // From here an answer, or a close or error that releases the wait, may
    // take the response back; whoever does wakes this thread once it is
    // done with it, and nobody else does.
    m_pPendingResponse = &response;
    const bool sent = !m_broken && !m_stopping &&
                      connection->SendMsg(request.GetBuffer(TRUE), request.GetLength(TRUE), nullptr, PACKET_MSG) == 0;
    if (!sent) {
        // Unsent, the response is taken back here unless another took it
        // first: then its wake-up is waited for, so that it cannot wake a
        // later request.
        if (!m_pPendingResponse.exchange(nullptr)) WaitForSingleObject(m_hResponseEvent, INFINITE);
        return false;
    }
    if (WaitForSingleObject(m_hResponseEvent, kAnswerTimeoutMs) == WAIT_OBJECT_0) return true;
    // No answer in time. An answer or a close that took the response just
    // now wakes this thread at once; otherwise the response is taken back,
    // and the connection counts as broken, so that a late answer cannot be
    // taken for the next request's.
    if (!m_pPendingResponse.exchange(nullptr)) {
        WaitForSingleObject(m_hResponseEvent, INFINITE);
        return true;
    }
    MarkBroken();
    return false;
}

void CSmartHandler::OnEvent(CEncryptSocket* socket, long code) {
    // A closed connection can never answer.
    if (code == FD_CLOSE && IsCurrent(socket)) MarkBroken();
}

void CSmartHandler::MarkBroken() {
    m_online = false;
    m_broken = true;
    WakeRequest();
    SetEvent(m_hBroken);
}

void CSmartHandler::OnMsg(CEncryptSocket* socket, BYTE* payload, DWORD length, ReplyContext*, DWORD) {
    if (IsCurrent(socket)) {
        if (CZmArchive* response = m_pPendingResponse.exchange(nullptr)) {
            response->PutBytes(payload, length);
            response->Seek(0, 0);
            SetEvent(m_hResponseEvent);
        }
    }
    std::free(payload);
}

void CSmartHandler::OnError(CEncryptSocket* socket, DWORD, long, const char*) {
    if (IsCurrent(socket)) WakeRequest();
}

void CSmartHandler::WakeRequest() {
    if (m_pPendingResponse.exchange(nullptr)) SetEvent(m_hResponseEvent);
}
