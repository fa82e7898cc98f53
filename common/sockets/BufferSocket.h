// CBufferSocket: adds the receive buffer (sized by SO_RCVBUF) and the
// dynbuffer that keeps received bytes until whole packets are cut off.
//
// The dynbuffer holds at most kReceiveHoldBytes: once it is full the socket
// reads nothing more, so Winsock records no further FD_READ and TCP's flow
// control makes the peer wait, until the Msg thread has cut packets off and
// calls ResumeReading. A peer that sends faster than its requests are
// served costs a bounded amount of memory and stays connected.
//
// Threads: the dynbuffer is used only under the socket's lock.
#pragma once

#include <memory>

#include "containers/dynbuffer.h"
#include "sockets/BasicSocket.h"
#include "sockets/PacketFormat.h"

class CBufferSocket : public CBasicSocket {
public:
    // Room for the largest packet a peer may send, so a held socket always
    // has a whole packet to cut.
    static constexpr DWORD kReceiveHoldBytes = 2 * kMaxPayload;

    using CBasicSocket::CBasicSocket;
    ~CBufferSocket() override;

    // Receives into `buffer`, or into the socket's own receive buffer when
    // none is given, and appends what arrived to the dynbuffer; no more than
    // the dynbuffer has room for. With the dynbuffer full it holds reading:
    // -1 with WSAEWOULDBLOCK.
    int Read(void* buffer, int size) override;
    // Reads again when reading is held and cutting has made room; true when
    // bytes arrived (they are buffered, to be cut).
    bool ResumeReading();
    bool IsReadingHeld();
    // Received bytes not yet cut into packets.
    DWORD ReceivedBytes();

    int Create(BOOL use_layered_providers);
    // Drops the buffers (per-connection resources).
    void ReleaseBuffers();

protected:
    BYTE* m_receiveBuffer = nullptr;
    DWORD m_receiveSize = 0;
    std::unique_ptr<dynbuffer> m_pReceived;
    bool m_readingHeld = false;
};
