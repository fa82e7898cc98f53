#include "sockets/SendQueue.h"

#include <cstring>

#include "base/clock.h"
#include "base/last_error.h"
#include "sockets/SocketLog.h"

namespace {

int Fail(DWORD error) {
    SetLastError(error);
    return -1;
}

}  // namespace

int SendQueue::SendNow(SOCKET socket, const BYTE* data, std::size_t length) {
    std::size_t sent = 0;
    while (sent < length) {
        const int n = ws::send(socket, reinterpret_cast<const char*>(data + sent), static_cast<int>(length - sent), 0);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && GetLastError() == WSAEWOULDBLOCK) break;
        if (n == 0) SetLastError(WSAECONNRESET);
        return -1;
    }
    return static_cast<int>(sent);
}

int SendQueue::Send(SOCKET socket, const BYTE* data, std::size_t length) {
    std::size_t sent = 0;
    if (Empty()) {
        const int n = SendNow(socket, data, length);
        if (n < 0) return -1;
        sent = static_cast<std::size_t>(n);
        if (sent == length) return 0;
        SockTrace("*** error: SELECT_SEND send() failed %i", WSAEWOULDBLOCK);
        m_progressTick = GetTickCount();
    }
    if (Size() + (length - sent) > kLimitBytes) return Fail(WSAENOBUFS);
    m_bytes.insert(m_bytes.end(), data + sent, data + length);
    return 0;
}

int SendQueue::Flush(SOCKET socket) {
    if (Empty()) return 0;
    const int n = SendNow(socket, m_bytes.data() + m_head, Size());
    if (n < 0) return -1;
    if (n > 0) {
        Consume(static_cast<std::size_t>(n));
        m_progressTick = GetTickCount();
    }
    return 0;
}

bool SendQueue::Stalled(DWORD now) const { return !Empty() && now - m_progressTick >= kStallMs; }

void SendQueue::Consume(std::size_t count) {
    m_head += count;
    if (Empty()) {
        Clear();
    } else if (m_head >= m_bytes.size() / 2) {
        // Moves the rest to the front once half is spent, so the buffer
        // never grows past twice what is waiting.
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(m_head));
        m_head = 0;
    }
}

void SendQueue::Clear() {
    std::vector<BYTE>().swap(m_bytes);
    m_head = 0;
}
