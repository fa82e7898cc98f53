// CBufferSocket: adds the receive buffer (sized by SO_RCVBUF) and the
// dynbuffer that keeps received bytes until whole packets are cut off.
// Threads: the dynbuffer is used only under the socket's lock.
#pragma once

#include <memory>

#include "containers/dynbuffer.h"
#include "sockets/BasicSocket.h"

class CBufferSocket : public CBasicSocket {
public:
    using CBasicSocket::CBasicSocket;
    ~CBufferSocket() override;

    // Receives into `buffer`, or into the socket's own receive buffer when
    // none is given, and appends what arrived to the dynbuffer.
    int Read(void* buffer, int size) override;

    int Create(BOOL use_layered_providers);
    // Drops the buffers (per-connection resources).
    void ReleaseBuffers();

protected:
    BYTE* m_receiveBuffer = nullptr;
    DWORD m_receiveSize = 0;
    std::unique_ptr<dynbuffer> m_pReceived;
};
