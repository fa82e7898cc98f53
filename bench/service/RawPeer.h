// Peers of the benchmark that speak the wire protocol with plain system
// calls: they register with the service and then either keep silent or
// flood it with one request, never reading an answer.
#pragma once

#include <atomic>
#include <thread>
#include <vector>

#include "base/wintypes.h"

class RawPeer {
public:
    // Connected to 127.0.0.1:`port` and registered, or not (Registered).
    explicit RawPeer(WORD port);
    ~RawPeer();
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;
    bool Registered() const { return m_registered; }

    // Sends `packet` again and again on a thread of its own until the
    // service closes the connection or StopFlooding.
    void Flood(std::vector<BYTE> packet);
    void StopFlooding();
    // The service closed the connection while it was flooded.
    bool WasDisconnected() const { return m_disconnected; }
    long Sent() const { return m_sent; }

private:
    int m_fd;
    bool m_registered = false;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_disconnected{false};
    std::atomic<long> m_sent{0};
    std::thread m_flood;
};

// An application message (short header) carrying `payload`.
std::vector<BYTE> MessagePacket(const std::vector<BYTE>& payload);
