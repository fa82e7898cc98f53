#include "net/event_source.h"

#include <sys/epoll.h>
#include <unistd.h>

#include "net/socket_table.h"

namespace plat::net::detail {
namespace {
constexpr int kEventsPerCollect = 64;
}

EventSource::EventSource() : m_epollFd(epoll_create1(EPOLL_CLOEXEC)) {}

EventSource::~EventSource() {
    if (m_epollFd >= 0) ::close(m_epollFd);
}

void EventSource::Collect() {
    epoll_event events[kEventsPerCollect];
    const int n = epoll_wait(m_epollFd, events, kEventsPerCollect, 0);
    for (int i = 0; i < n; ++i) {
        // The entry carries the table key, never a pointer: a socket closed
        // or selected elsewhere meanwhile is skipped.
        SocketPtr s = FindSocketQuietly(static_cast<SOCKET>(events[i].data.u64));
        if (!s) continue;
        std::lock_guard lock(s->mutex);
        if (s->closed || s->source.get() != this) continue;
        ReadinessLocked(*s, static_cast<short>(events[i].events));
    }
}

bool EventSource::Arm(int fd, SOCKET key, short poll_events, bool already_in_set) {
    epoll_event e{};
    e.events = static_cast<std::uint32_t>(static_cast<unsigned short>(poll_events)) | EPOLLET;
    e.data.u64 = key;
    return epoll_ctl(m_epollFd, already_in_set ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, fd, &e) == 0;
}

void EventSource::Disarm(int fd) { epoll_ctl(m_epollFd, EPOLL_CTL_DEL, fd, nullptr); }

void EventSource::Recorded(bool first, HANDLE event) {
    std::lock_guard lock(m_mutex);
    if (first) ++m_recordedSockets;
    ::SetEvent(event);
}

void EventSource::Cleared() {
    std::lock_guard lock(m_mutex);
    --m_recordedSockets;
}

BOOL EventSource::SignalWhileRecorded(HANDLE event) {
    std::lock_guard lock(m_mutex);
    return m_recordedSockets > 0 ? ::SetEvent(event) : ::ResetEvent(event);
}

}  // namespace plat::net::detail
