// Event selection on top of poll: one background thread polls every selected
// socket for the events that are currently enabled, records them with
// Winsock's rules (see winsock.h) and signals the selected event.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
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

struct Poller {
    int wakeFd = -1;
    std::vector<std::weak_ptr<SocketState>> selected;  // guarded by TableMutex
};

void PollerLoop(Poller& p);

Poller& ThePoller() {
    static Poller* poller = [] {
        auto* p = new Poller;
        p->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        std::thread([p] { PollerLoop(*p); }).detach();
        return p;
    }();
    return *poller;
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

void DrainWake(int fd) {
    eventfd_t value = 0;
    eventfd_read(fd, &value);
}

void PollerLoop(Poller& p) {
    std::vector<pollfd> fds;
    std::vector<SocketPtr> polled;
    for (;;) {
        fds.assign(1, pollfd{p.wakeFd, POLLIN, 0});
        polled.clear();
        {
            std::lock_guard lock(TableMutex());
            std::erase_if(p.selected, [](const auto& w) { return w.expired(); });
            for (const auto& w : p.selected) {
                SocketPtr s = w.lock();
                const short events = s ? InterestLocked(*s) : 0;
                if (events == 0) continue;
                fds.push_back(pollfd{s->fd, events, 0});
                polled.push_back(std::move(s));
            }
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) continue;
        if (fds[0].revents) DrainWake(p.wakeFd);
        std::lock_guard lock(TableMutex());
        for (std::size_t i = 1; i < fds.size(); ++i) {
            SocketState& s = *polled[i - 1];
            if (fds[i].revents && !s.closed) HandleLocked(s, fds[i].revents);
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
}

void WakePoller() { eventfd_write(ThePoller().wakeFd, 1); }

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
    Poller& poller = ThePoller();
    {
        std::lock_guard lock(TableMutex());
        // A new selection replaces the old one and clears the record.
        state->event = network_events ? event : nullptr;
        state->mask = network_events;
        state->recorded = 0;
        state->readEnabled = state->acceptEnabled = true;
        state->writeEnabled = state->connected;
        if (network_events) {
            if (!state->polled) poller.selected.push_back(state);
            state->polled = true;
            if (state->peerClosed) EvaluatePeerCloseLocked(*state);
        }
    }
    if (network_events) fcntl(state->fd, F_SETFL, fcntl(state->fd, F_GETFL) | O_NONBLOCK);
    WakePoller();
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
