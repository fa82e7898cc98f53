#include "SmartHandler.h"

#include <algorithm>
#include <cstdlib>

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
    m_deviceCount = 0;
    if (m_pDeviceList || Create(FALSE) != 0) return 0;
    SetRegistrationTimeout(kRegistrationTimeoutMs);
    CEncryptSocket* socket = Connect();
    if (!socket) return 0;
    Install(socket);
    m_online = true;
    m_pDeviceList = GetDevices();
    for (SmartDevice* device = m_pDeviceList; device; device = device->next) {
        LogIdentity(*device);
        if (!Prepare(device)) continue;
        ++m_deviceCount;
        m_devices.push_back(device);
    }
    StartLink();
    return 0;
}

SmartDevice* CSmartHandler::GetDevice(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_devices.size()) return nullptr;
    return m_devices[static_cast<std::size_t>(index)];
}

bool CSmartHandler::AnyGone() const {
    return std::any_of(m_devices.begin(), m_devices.end(), [this](const SmartDevice* d) { return IsGone(*d); });
}

bool CSmartHandler::IsHeld(const SmartDevice& listed) const {
    return std::any_of(m_devices.begin(), m_devices.end(),
                       [&](const SmartDevice* d) { return SameDrive(CopyRecord(*d), listed); });
}

bool CSmartHandler::Resync() {
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

int CSmartHandler::RefreshSmartStatus() {
    if (AnyGone()) {
        std::lock_guard requestLock(m_requestLock);
        Resync();
    }
    int result = 0;
    for (SmartDevice* device : m_devices) {
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
    // Unsent, the response is taken back here unless another took it first:
    // then its wake-up is waited for, so that it cannot wake a later request.
    if (sent || !m_pPendingResponse.exchange(nullptr)) WaitForSingleObject(m_hResponseEvent, INFINITE);
    return sent;
}

void CSmartHandler::OnEvent(CEncryptSocket* socket, long code) {
    if (code != FD_CLOSE || !IsCurrent(socket)) return;
    // A closed connection can never answer: release a waiting request and
    // have the link thread connect again.
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
