#include "sockets/BufferSocket.h"

#include <algorithm>
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
    m_readingHeld = false;
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
    if (m_pReceived) {
        const DWORD room = kReceiveHoldBytes - std::min(m_pReceived->Available(), kReceiveHoldBytes);
        m_readingHeld = room == 0;
        if (m_readingHeld) {
            SetLastError(WSAEWOULDBLOCK);
            return -1;
        }
        size = static_cast<int>(std::min(static_cast<DWORD>(size), room));
    }
    const int n = ws::recv(m_hSocket, static_cast<char*>(buffer), size, 0);
    if (n > 0 && m_pReceived) m_pReceived->Append(buffer, static_cast<DWORD>(n));
    return n;
}

bool CBufferSocket::ResumeReading() {
    std::lock_guard lock(m_lock);
    if (!m_readingHeld || !m_pReceived || m_pReceived->Available() >= kReceiveHoldBytes) return false;
    return Read(nullptr, 0) > 0;
}

bool CBufferSocket::IsReadingHeld() {
    std::lock_guard lock(m_lock);
    return m_readingHeld;
}

DWORD CBufferSocket::ReceivedBytes() {
    std::lock_guard lock(m_lock);
    return m_pReceived ? m_pReceived->Available() : 0;
}
