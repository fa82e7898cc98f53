#include "sockets/SocketServer.h"

#include <cstdlib>
#include <memory>

#include "base/hresult.h"
#include "base/sync.h"
#include "sockets/SocketLibrary.h"
#include "sockets/SocketLog.h"

CSocketServer::CSocketServer(WORD port) : m_hNoConnections(CreateEventW(nullptr, TRUE, TRUE, nullptr)), m_port(port) {
    m_address.s_addr = htonl(INADDR_LOOPBACK);
}

CSocketServer::~CSocketServer() {
    Stop();
    CloseHandle(m_hNoConnections);
}

DWORD CSocketServer::PermissionFor(in_addr address) {
    const bool loopback = (ntohl(address.s_addr) >> 24) == 127;
    return loopback ? PERMISSION_LOCALUSERS : PERMISSION_ALLUSERS;
}

void CSocketServer::OnEvent(CEncryptSocket*, long code) {
    if (code != FD_ACCEPT && code != FD_CLOSE) return;
    std::lock_guard lock(m_countLock);
    const LONG count = code == FD_ACCEPT ? InterlockedIncrement(&m_connections) : InterlockedDecrement(&m_connections);
    if (count > 0) ResetEvent(m_hNoConnections);
    else SetEvent(m_hNoConnections);
}

void CSocketServer::AwaitNoConnections(DWORD ms) { WaitForSingleObject(m_hNoConnections, ms); }

void CSocketServer::OnMsg(CEncryptSocket* socket, BYTE* payload, DWORD length, ReplyContext* context, DWORD) {
    if (!m_dispatcher) {
        SockTrace("(%s) *** error: CSocketServer::OnMsg() no dispatcher, request dropped(%i)", socket->DisplayName(),
                  socket->Handle());
        std::free(payload);
        return;
    }
    // The payload is released even when the dispatcher throws.
    const std::unique_ptr<BYTE, decltype(&std::free)> owned(payload, &std::free);
    CZmArchive request;
    CZmArchive response(2);
    request.Attach(payload, length);
    m_dispatcher(request, response);
    socket->SendMsg(response.GetBuffer(TRUE), response.GetLength(TRUE), context, PACKET_MSG);
}

HRESULT CSocketServer::Init() {
    if (StartSocketLibrary(2, 2) != 0) return E_FAIL;
    m_libraryStarted = true;
    if (Create(TRUE) != 0) return E_FAIL;
    return S_OK;
}

HRESULT CSocketServer::Start() {
    CEncryptSocket* listener = NewSocket();
    if (!listener) return E_FAIL;
    if (listener->Listen(m_port, m_port, PermissionFor(m_address), FALSE, &m_address) != 0) {
        const DWORD error = GetLastError();
        listener->Close(TRUE);
        Remove(listener, TRUE);
        delete listener;
        SetLastError(error);  // the caller says why it cannot listen
        return E_FAIL;
    }
    m_listener.reset(listener);
    return S_OK;
}

void CSocketServer::Stop() {
    Shutdown();
    m_listener.reset();
    if (m_libraryStarted) StopSocketLibrary();
    m_libraryStarted = false;
}
