// SendQueue: the bytes of one connection that its socket would not take
// yet. A send never waits for the peer: what the socket does not take at
// once is queued here and written when the socket is writable again
// (FD_WRITE). The queue is bounded, and it must keep moving: a connection
// whose queue passes kLimitBytes, or that has taken nothing of it for
// kStallMs, is closed by its manager and the queue freed, so a peer that
// never reads costs a bounded amount of memory and delays nobody else.
//
// Threads: used only under its socket's lock.
#pragma once

#include <cstddef>
#include <vector>

#include "net/winsock.h"

class SendQueue {
public:
    // Many times the largest answer of this system (a drive list), so a
    // reading peer never reaches it.
    static constexpr std::size_t kLimitBytes = 4u << 20;
    // The wait a send has to complete in: the peer must take some of the
    // queued bytes within it.
    static constexpr DWORD kStallMs = 10000;

    // Writes `data` to `socket` after what is already queued, queueing what
    // the socket does not take. 0; -1 with the send's error when the
    // connection failed, or WSAENOBUFS when the queue would pass its limit.
    int Send(SOCKET socket, const BYTE* data, std::size_t length);
    // Writes as much of the queue as the socket takes now. 0, or -1 with
    // the send's error.
    int Flush(SOCKET socket);
    // Whether the peer has taken nothing of a waiting queue for kStallMs.
    bool Stalled(DWORD now) const;
    bool Empty() const { return m_head == m_bytes.size(); }
    std::size_t Size() const { return m_bytes.size() - m_head; }
    void Clear();

private:
    // Sends from `data`; the number of bytes the socket took, or -1 with
    // the error (would-block is not an error: it took 0).
    static int SendNow(SOCKET socket, const BYTE* data, std::size_t length);
    void Consume(std::size_t count);

    std::vector<BYTE> m_bytes;
    std::size_t m_head = 0;         // bytes before it have been sent
    DWORD m_progressTick = 0;       // when the peer last took queued bytes
};
