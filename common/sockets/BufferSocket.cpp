#include "sockets/BufferSocket.h"

#include <cstdlib>

#include "base/win_errors.h"
#include "sockets/SocketLog.h"

CBufferSocket::~CBufferSocket() { ReleaseBuffers(); }

void CBufferSocket::ReleaseBuffers() {
    std::lock_guard lock(m_lock);
    std::free(m_receiveBuffer);
    m_receiveBuffer = nullptr;
    m_receiveSize = 0;
    m_pReceived.reset();
}

int CBufferSocket::Create(BOOL use_layered) {
    CBasicSocket::Create(use_layered);
    std::lock_guard lock(m_lock);
    m_pReceived = std::make_unique<dynbuffer>();
    int size = 0;
    int length = sizeof size;
    if (ws::getsockopt(m_hSocket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size), &length) != 0) {
        SockTrace("*** error: CBufferSocket::Create() GetReceiveBufferSize() failed %i", GetLastError());
        size = 0;
    }
    if (size <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    std::free(m_receiveBuffer);
    m_receiveBuffer = static_cast<BYTE*>(std::malloc(static_cast<std::size_t>(size)));
    if (!m_receiveBuffer) {
        SockTrace("CBufferSocket::Create() malloc() failed %i", ERROR_NOT_ENOUGH_MEMORY);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }
    m_receiveSize = static_cast<DWORD>(size);
    return 0;
}

int CBufferSocket::Read(void* buffer, int size) {
    std::lock_guard lock(m_lock);
    if (!m_hSocket) {
        SockTrace("*** error: CBufferSocket::Read() m_hSocket == 0");
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (!buffer) {
        buffer = m_receiveBuffer;
        size = static_cast<int>(m_receiveSize);
    }
    if (!buffer || size <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    const int n = ws::recv(m_hSocket, static_cast<char*>(buffer), size, 0);
    if (n > 0 && m_pReceived) m_pReceived->Append(buffer, static_cast<DWORD>(n));
    return n;
}
