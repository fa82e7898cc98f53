// The readiness source of one event object that sockets are selected on:
// an epoll set of those sockets, each in it edge-triggered with the events
// it can wait for. A thread that waits on the event sleeps in poll() on the
// set's descriptor (base/sync.h), so the kernel wakes that thread itself;
// whoever collects the set (a waiter, or WSAEnumNetworkEvents) records what
// it reports with Winsock's rules.
#pragma once

#include <sys/epoll.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

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
    // Records the events the set reports (each socket under its lock).
    void Collect() override;
    // One thread at a time sleeps in the set itself, its wake-up added to
    // the set (level-triggered, so it stays reported until that thread has
    // read it, whoever collects the set meanwhile).
    bool SleepIn(const plat::ThreadWake& wake, int timeout_ms) override;

    // With the socket's lock held: adds the socket `key` on `fd` to the set
    // (or changes what it is in it for, which has epoll look at it anew),
    // edge-triggered; false when epoll refused.
    bool Arm(int fd, SOCKET key, short poll_events, bool already_in_set);
    void Disarm(int fd);

    // With the socket's lock held: a socket of this set that had nothing
    // recorded has events recorded now (`first`), or one has more; either
    // way `event` is signalled.
    void Recorded(bool first, HANDLE event);
    // With the socket's lock held: a socket's records were cleared.
    void Cleared();
    // After an enumeration: `event` stays signalled while a socket of this
    // set has events recorded (resetting it would leave those unseen, their
    // sockets disarmed until enumerated for another reason), else it is
    // reset. FALSE for an invalid event.
    BOOL SignalWhileRecorded(HANDLE event);

private:
    // Adds the waiter's wake-up to the set once (per thread, while it lives).
    bool Watch(const plat::ThreadWake& wake);
    // Records what epoll reported; reads `own_wake` when it was among it.
    void Record(const epoll_event* events, int count, int own_wake);

    const int m_epollFd;
    std::atomic<bool> m_sleeping{false};
    // Orders the count's changes with the event's, so that a record of one
    // socket is never lost to the reset after another's enumeration.
    std::mutex m_mutex;
    int m_recordedSockets = 0;  // guarded by m_mutex
    std::vector<std::uint64_t> m_watched;  // wake-ups in the set; guarded by m_mutex
};

}  // namespace plat::net::detail
