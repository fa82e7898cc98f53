// Event selection on top of epoll: one background thread waits for the
// events each selected socket has enabled now, records them with Winsock's
// rules (see winsock.h) and signals the selected event. A socket is armed
// one-shot with what it waits for; the poller re-arms it after handling
// an event, and a call that enables an event again (a recv, a blocked send,
// an accept) re-arms it itself, so nothing has to wake the poller thread.
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "base/last_error.h"
#include "base/sync.h"
#include "net/socket_table.h"
#include "net/winsock.h"

namespace plat::net::detail {
namespace {

void PollerLoop(int epoll_fd);

int EpollFd() {
    static const int fd = [] {
        const int e = epoll_create1(EPOLL_CLOEXEC);
        std::thread([e] { PollerLoop(e); }).detach();
        return e;
    }();
    return fd;
}

int PendingBytes(int fd) {
    int n = 0;
    return ioctl(fd, FIONREAD, &n) == 0 ? n : 0;
}

int SocketError(int fd) {
    int err = 0;
    socklen_t len = sizeof err;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
    return err;
}

// The poll events the socket waits for now, 0 when it is not to be polled.
short InterestLocked(const SocketState& s) {
    if (s.closed || !s.event || s.mask == 0 || s.peerClosed) return 0;
    if (s.listening) return (s.acceptEnabled && (s.mask & FD_ACCEPT)) ? POLLIN : 0;
    if (s.connecting) return POLLOUT;
    if (!s.connected) return 0;
    short events = POLLRDHUP;
    if (s.readEnabled && (s.mask & FD_READ)) events |= POLLIN;
    if (s.writeEnabled && (s.mask & FD_WRITE)) events |= POLLOUT;
    return events;
}

// After the peer's close: the data still unread is announced first, and
// FD_CLOSE follows once it has all been read.
void EvaluatePeerCloseLocked(SocketState& s) {
    if (s.closeRecorded) return;
    if (PendingBytes(s.fd) > 0) {
        if (s.readEnabled) RecordLocked(s, FD_READ_BIT, 0);
        return;
    }
    s.closeRecorded = true;
    RecordLocked(s, FD_CLOSE_BIT, 0);
}

void ConnectDoneLocked(SocketState& s, short revents) {
    if (!(revents & (POLLOUT | POLLERR | POLLHUP))) return;
    s.connecting = false;
    const int err = SocketError(s.fd);
    if (err != 0) {
        RecordLocked(s, FD_CONNECT_BIT, static_cast<int>(WsaErrorFromErrno(err)));
        return;
    }
    s.connected = true;
    RecordLocked(s, FD_CONNECT_BIT, 0);
    RecordLocked(s, FD_WRITE_BIT, 0);
}

void HandleLocked(SocketState& s, short revents) {
    if (s.listening) {
        if (revents & POLLIN) RecordLocked(s, FD_ACCEPT_BIT, 0);
        return;
    }
    if (s.connecting) {
        ConnectDoneLocked(s, revents);
        return;
    }
    if (revents & POLLERR) {
        const int err = SocketError(s.fd);
        s.peerClosed = true;
        if (!s.closeRecorded) {
            s.closeRecorded = true;
            RecordLocked(s, FD_CLOSE_BIT, static_cast<int>(err ? WsaErrorFromErrno(err) : WSAECONNRESET));
        }
        return;
    }
    if (revents & (POLLRDHUP | POLLHUP)) {
        s.peerClosed = true;
        EvaluatePeerCloseLocked(s);
    } else if ((revents & POLLIN) && s.readEnabled) {
        RecordLocked(s, FD_READ_BIT, 0);
    }
    if ((revents & POLLOUT) && s.writeEnabled) RecordLocked(s, FD_WRITE_BIT, 0);
}

void PollerLoop(int epoll_fd) {
    epoll_event events[64];
    for (;;) {
        const int n = epoll_wait(epoll_fd, events, 64, -1);
        if (n < 0) continue;
        std::lock_guard lock(TableMutex());
        for (int i = 0; i < n; ++i) {
            SocketPtr s = FindSocketLocked(static_cast<SOCKET>(events[i].data.u64));
            if (!s || s->closed) continue;
            s->armed = 0;  // one-shot: disarmed by the event
            HandleLocked(*s, static_cast<short>(events[i].events));
            RearmLocked(*s);
        }
    }
}
}  // namespace

void RecordLocked(SocketState& s, int bit, int error) {
    const long flag = 1L << bit;
    switch (flag) {
        case FD_READ: s.readEnabled = false; break;
        case FD_ACCEPT: s.acceptEnabled = false; break;
        case FD_WRITE: s.writeEnabled = false; break;
        default: break;
    }
    if (!(s.mask & flag) || !s.event) return;
    s.recorded |= flag;
    s.errors[bit] = error;
    ::SetEvent(s.event);
}

void AfterReceiveLocked(SocketState& s) {
    s.readEnabled = true;
    if (s.peerClosed) EvaluatePeerCloseLocked(s);
    RearmLocked(s);
}

// A socket that waits for nothing is not in the set at all: epoll would
// still report a hang-up (which a socket not yet connected shows).
void RearmLocked(SocketState& s) {
    if (s.closed) return;
    const short interest = InterestLocked(s);
    if (interest == 0) {
        UnregisterLocked(s);
        return;
    }
    if (s.registered && interest == s.armed) return;
    epoll_event e{};
    e.events = static_cast<std::uint32_t>(interest) | EPOLLONESHOT;
    e.data.u64 = s.key;
    if (epoll_ctl(EpollFd(), s.registered ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, s.fd, &e) != 0) return;
    s.registered = true;
    s.armed = interest;
}

void UnregisterLocked(SocketState& s) {
    if (s.registered) epoll_ctl(EpollFd(), EPOLL_CTL_DEL, s.fd, nullptr);
    s.registered = false;
    s.armed = 0;
}

}  // namespace plat::net::detail

namespace ws {

using namespace plat::net::detail;

WSAEVENT WSACreateEvent() { return ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
BOOL WSACloseEvent(WSAEVENT event) { return ::CloseHandle(event); }
BOOL WSASetEvent(WSAEVENT event) { return ::SetEvent(event); }
BOOL WSAResetEvent(WSAEVENT event) { return ::ResetEvent(event); }

int WSAEventSelect(SOCKET s, WSAEVENT event, long network_events) {
    SocketPtr state = FindSocket(s);
    if (!state) return SOCKET_ERROR;
    if (network_events != 0 && !event) return Fail(WSAEINVAL);
    if (network_events) fcntl(state->fd, F_SETFL, fcntl(state->fd, F_GETFL) | O_NONBLOCK);
    std::lock_guard lock(TableMutex());
    // A new selection replaces the old one and clears the record.
    state->event = network_events ? event : nullptr;
    state->mask = network_events;
    state->recorded = 0;
    state->readEnabled = state->acceptEnabled = true;
    state->writeEnabled = state->connected;
    if (network_events && state->peerClosed) EvaluatePeerCloseLocked(*state);
    RearmLocked(*state);
    return 0;
}

DWORD WSAWaitForMultipleEvents(DWORD count, const WSAEVENT* events, BOOL wait_all, DWORD timeout_ms, BOOL) {
    const DWORD r = ::WaitForMultipleObjects(count, events, wait_all, timeout_ms);
    if (r == WAIT_FAILED) return WSA_WAIT_FAILED;
    if (r == WAIT_TIMEOUT) return WSA_WAIT_TIMEOUT;
    return WSA_WAIT_EVENT_0 + (r - WAIT_OBJECT_0);
}

int WSAEnumNetworkEvents(SOCKET s, WSAEVENT event, WSANETWORKEVENTS* events) {
    if (!events) return Fail(WSAEFAULT);
    SocketPtr state = FindSocket(s);
    if (!state) return SOCKET_ERROR;
    std::lock_guard lock(TableMutex());
    events->lNetworkEvents = state->recorded;
    for (int i = 0; i < FD_MAX_EVENTS; ++i) events->iErrorCode[i] = state->errors[i];
    state->recorded = 0;
    if (event && !::ResetEvent(event)) return Fail(WSA_INVALID_HANDLE);
    return 0;
}

}  // namespace ws
