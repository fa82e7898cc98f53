#include "net/event_source.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "net/socket_table.h"

namespace plat::net::detail {
namespace {

constexpr int kEventsPerCollect = 64;
// Marks the entry of a waiter's wake-up; socket keys never have it.
constexpr std::uint64_t kWakeMark = std::uint64_t{1} << 63;

void Drain(int event_fd) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(event_fd, &count, sizeof count);
}

}  // namespace

EventSource::EventSource() : m_epollFd(epoll_create1(EPOLL_CLOEXEC)) {}

EventSource::~EventSource() {
    if (m_epollFd >= 0) ::close(m_epollFd);
}

void EventSource::Collect() {
    epoll_event events[kEventsPerCollect];
    Record(events, epoll_wait(m_epollFd, events, kEventsPerCollect, 0), -1);
}

bool EventSource::SleepIn(const plat::ThreadWake& wake, int timeout_ms) {
    bool free = false;
    if (!m_sleeping.compare_exchange_strong(free, true)) return false;
    epoll_event events[kEventsPerCollect];
    const bool watched = Watch(wake);
    const int count = watched ? epoll_wait(m_epollFd, events, kEventsPerCollect, timeout_ms) : 0;
    m_sleeping = false;
    if (watched) Record(events, count, wake.fd);
    return watched;
}

bool EventSource::Watch(const plat::ThreadWake& wake) {
    std::lock_guard lock(m_mutex);
    if (std::find(m_watched.begin(), m_watched.end(), wake.serial) != m_watched.end()) return true;
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.u64 = kWakeMark | static_cast<std::uint32_t>(wake.fd);
    if (epoll_ctl(m_epollFd, EPOLL_CTL_ADD, wake.fd, &e) != 0 && errno != EEXIST) return false;
    m_watched.push_back(wake.serial);
    return true;
}

void EventSource::Record(const epoll_event* events, int count, int own_wake) {
    for (int i = 0; i < count; ++i) {
        const std::uint64_t key = events[i].data.u64;
        if (key & kWakeMark) {
            if (static_cast<int>(key & ~kWakeMark) == own_wake) Drain(own_wake);
            continue;  // another thread's: it reads its own
        }
        // The entry carries the table key, never a pointer: a socket closed
        // or selected elsewhere meanwhile is skipped.
        SocketPtr s = FindSocketQuietly(static_cast<SOCKET>(key));
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
