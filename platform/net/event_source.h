// The readiness source of one event object that sockets are selected on:
// an epoll set of those sockets, each armed one-shot with the events it
// waits for now. A thread that waits on the event sleeps in poll() on the
// set's descriptor (base/sync.h), so the kernel wakes that thread itself;
// whoever collects the set (a waiter, or WSAEnumNetworkEvents) records what
// it reports with Winsock's rules.
#pragma once

#include "base/sync.h"
#include "net/winsock_types.h"

namespace plat::net::detail {

class EventSource final : public plat::WaitSource {
public:
    EventSource();
    ~EventSource() override;
    EventSource(const EventSource&) = delete;
    EventSource& operator=(const EventSource&) = delete;

    bool Valid() const { return m_epollFd >= 0; }
    int PollFd() const override { return m_epollFd; }
    // Records the events the set reports; takes TableMutex.
    void Collect() override;

    // With TableMutex held: adds the socket `key` on `fd` to the set (or
    // changes what it is armed with), one-shot; false when epoll refused.
    bool Arm(int fd, SOCKET key, short poll_events, bool already_in_set);
    void Disarm(int fd);

    // Sockets of this event with events recorded and not yet enumerated;
    // guarded by TableMutex.
    void CountRecorded(int delta) { m_recordedSockets += delta; }
    bool AnyRecorded() const { return m_recordedSockets > 0; }

private:
    const int m_epollFd;
    int m_recordedSockets = 0;
};

}  // namespace plat::net::detail
