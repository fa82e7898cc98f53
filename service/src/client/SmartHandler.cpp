#include "SmartHandler.h"

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
}

CSmartHandler::~CSmartHandler() {
    if (m_pConnection) {
        m_pConnection->Close(TRUE);
        Shutdown();
        delete m_pConnection;
        m_pConnection = nullptr;
    }
    Shutdown();
    FreeSmartDeviceList(m_pDeviceList);
    m_devices.clear();
    if (m_hResponseEvent) CloseHandle(m_hResponseEvent);
    if (m_libraryStarted) StopSocketLibrary();
}

bool CSmartHandler::Connect() {
    if (Create(FALSE) != 0) return false;
    SetRegistrationTimeout(kRegistrationTimeoutMs);
    CEncryptSocket* socket = NewSocket();
    if (!socket) return false;
    if (socket->Connect("localhost", m_port, FALSE) != 0) {
        DeleteSocket(socket);
        delete socket;
        return false;
    }
    m_pConnection = socket;
    return true;
}

int CSmartHandler::Initialize() {
    m_deviceCount = 0;
    if (!Connect()) return 0;
    m_pDeviceList = GetDevices();
    for (SmartDevice* device = m_pDeviceList; device; device = device->next) {
        LogIdentity(*device);
        if (!Prepare(device)) continue;
        ++m_deviceCount;
        m_devices.push_back(device);
    }
    return 0;
}

SmartDevice* CSmartHandler::GetDevice(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_devices.size()) return nullptr;
    return m_devices[static_cast<std::size_t>(index)];
}

int CSmartHandler::RefreshSmartStatus() {
    int result = 0;
    for (SmartDevice* device : m_devices) {
        CLog::Print(m_log, 5, u"", "SH:USV: CSmartHandler::RefreshSmartStatus ...");
        ReadStatus(device);
        result = ReadAttributes(device) ? 1 : 0;
        CLog::Print(m_log, 5, u"", "SH:USV: CSmartHandler::RefreshSmartStatus returned: %d", result);
    }
    return result;
}

bool CSmartHandler::SendRequest(CZmArchive& request, CZmArchive& response) {
    response.Reset();
    if (!m_pConnection) return false;
    std::lock_guard requestLock(m_requestLock);
    {
        std::lock_guard pending(m_pendingLock);
        m_pPendingResponse = &response;
    }
    // A wake-up left over from an error or a stray message is not an answer.
    ResetEvent(m_hResponseEvent);
    const bool sent =
        m_pConnection->SendMsg(request.GetBuffer(TRUE), request.GetLength(TRUE), nullptr, PACKET_MSG) == 0;
    if (sent) WaitForSingleObject(m_hResponseEvent, INFINITE);
    std::lock_guard pending(m_pendingLock);
    m_pPendingResponse = nullptr;
    return sent;
}

void CSmartHandler::OnEvent(CEncryptSocket*, long code) {
    // A closed connection can never answer: release a waiting request.
    if (code == FD_CLOSE) WakeRequest();
}

void CSmartHandler::OnMsg(CEncryptSocket*, BYTE* payload, DWORD length, ReplyContext*, DWORD) {
    {
        std::lock_guard pending(m_pendingLock);
        if (m_pPendingResponse) {
            m_pPendingResponse->PutBytes(payload, length);
            m_pPendingResponse->Seek(0, 0);
            SetEvent(m_hResponseEvent);
        }
    }
    std::free(payload);
}

void CSmartHandler::OnError(CEncryptSocket*, DWORD, long, const char*) { WakeRequest(); }

void CSmartHandler::WakeRequest() {
    std::lock_guard pending(m_pendingLock);
    if (m_pPendingResponse) SetEvent(m_hResponseEvent);
}
