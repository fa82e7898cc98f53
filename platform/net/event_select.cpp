// Event selection on epoll: each selected event has its own epoll set of
// the sockets selected on it (EventSource), which the threads waiting on
// the event poll themselves; what a set reports is recorded with Winsock's
// rules (see winsock.h) and signals the event. A socket is in the set
// edge-triggered with what it can wait for, and stays so while a recorded
// event is disabled: an edge then only notes that data came, and the recv
// that enables FD_READ again records it anew when data remains, so a
// message costs no change of the set. Only a change of what the socket
// waits for (connected, writable again after a blocked send) changes its
// entry, and an accept makes epoll look at the listener again.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>

#include "base/last_error.h"
#include "base/sync.h"
#include "net/event_source.h"
#include "net/socket_table.h"
#include "net/winsock.h"

namespace plat::net::detail {
namespace {

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

// The poll events the socket is in the set for, 0 when it is not to be
// polled. Reading and accepting stay in while disabled (their edges are
// noted or looked at again later); writing only while FD_WRITE is awaited,
// since a connection is writable nearly always.
short InterestLocked(const SocketState& s) {
    if (s.closed || !s.event || s.mask == 0 || s.peerClosed) return 0;
    if (s.listening) return (s.mask & FD_ACCEPT) ? POLLIN : 0;
    if (s.connecting) return POLLOUT;
    if (!s.connected) return 0;
    short events = POLLRDHUP;
    if (s.mask & FD_READ) events |= POLLIN;
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
        // While disabled, the accept that enables it again has epoll look.
        if ((revents & POLLIN) && s.acceptEnabled) RecordLocked(s, FD_ACCEPT_BIT, 0);
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
    } else if (revents & POLLIN) {
        if (s.readEnabled) RecordLocked(s, FD_READ_BIT, 0);
        else s.readPending = true;  // the recv that enables it looks
    }
    if ((revents & POLLOUT) && s.writeEnabled) RecordLocked(s, FD_WRITE_BIT, 0);
}

// The readiness source of `event`, made and attached on its first
// selection; nullptr with the last error set when there is none.
std::shared_ptr<EventSource> SourceFor(WSAEVENT event) {
    const auto e = plat::LookupHandleAs<plat::Event>(event);
    if (!e) {
        Fail(WSAEINVAL);
        return nullptr;
    }
    // Two first selections on one event at once make one source.
    static std::mutex attaching;
    std::lock_guard lock(attaching);
    if (auto source = std::dynamic_pointer_cast<EventSource>(e->Source())) return source;
    auto source = std::make_shared<EventSource>();
    if (!source->Valid()) {
        FailFromErrno();
        return nullptr;
    }
    e->AttachSource(source);
    return source;
}

}  // namespace

void ReadinessLocked(SocketState& s, short poll_events) {
    HandleLocked(s, poll_events);
    RearmLocked(s);
}

void RecordLocked(SocketState& s, int bit, int error) {
    const long flag = 1L << bit;
    switch (flag) {
        case FD_READ: s.readEnabled = false; break;
        case FD_ACCEPT: s.acceptEnabled = false; break;
        case FD_WRITE: s.writeEnabled = false; break;
        default: break;
    }
    if (!(s.mask & flag) || !s.event) return;
    const bool first = s.recorded == 0;
    s.recorded |= flag;
    s.errors[bit] = error;
    if (s.source) s.source->Recorded(first, s.event);
    else ::SetEvent(s.event);
}

void ClearRecordLocked(SocketState& s) {
    if (s.recorded && s.source) s.source->Cleared();
    s.recorded = 0;
}

// Data may remain when the recv filled its buffer (or only peeked), or
// when data came while FD_READ was disabled; what came after the recv
// brings its own edge.
void AfterReceiveLocked(SocketState& s, bool may_remain) {
    s.readEnabled = true;
    const bool selected = s.event && (s.mask & FD_READ);
    if (s.peerClosed) EvaluatePeerCloseLocked(s);
    else if (selected && (may_remain || s.readPending) && PendingBytes(s.fd) > 0) RecordLocked(s, FD_READ_BIT, 0);
    s.readPending = false;
}

// A socket that waits for nothing is not in the set at all: epoll would
// still report a hang-up (which a socket not yet connected shows).
void RearmLocked(SocketState& s, bool look_again) {
    if (s.closed || !s.source) return;
    const short interest = InterestLocked(s);
    if (interest == 0) {
        UnregisterLocked(s);
        return;
    }
    if (s.registered && interest == s.armed && !look_again) return;
    if (!s.source->Arm(s.fd, s.key, interest, s.registered)) return;
    s.registered = true;
    s.armed = interest;
}

void UnregisterLocked(SocketState& s) {
    if (s.registered && s.source) s.source->Disarm(s.fd);
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
    std::shared_ptr<EventSource> source;
    if (network_events && !(source = SourceFor(event))) return SOCKET_ERROR;
    if (network_events) fcntl(state->fd, F_SETFL, fcntl(state->fd, F_GETFL) | O_NONBLOCK);
    std::lock_guard lock(state->mutex);
    // A new selection replaces the old one and clears the record.
    ClearRecordLocked(*state);
    UnregisterLocked(*state);
    state->source = std::move(source);
    state->event = network_events ? event : nullptr;
    state->mask = network_events;
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
    // Records happen in the background in Winsock: what the kernel reported
    // and no waiter has collected yet is recorded first. Not when the socket
    // has events recorded, or its event is signalled: a waiter has collected
    // the set then and enumerates its sockets, so what is recorded is
    // returned as it is (as an enumeration a moment earlier would), and what
    // the set holds from now on is collected by the next wait on the event.
    std::shared_ptr<EventSource> source;
    {
        std::lock_guard lock(state->mutex);
        if (state->recorded == 0 && !(state->event && plat::IsSignaled(state->event))) source = state->source;
    }
    if (source) source->Collect();
    std::lock_guard lock(state->mutex);
    events->lNetworkEvents = state->recorded;
    for (int i = 0; i < FD_MAX_EVENTS; ++i) events->iErrorCode[i] = state->errors[i];
    ClearRecordLocked(*state);
    if (!event) return 0;
    const bool own_set = event == state->event && state->source;
    if (!(own_set ? state->source->SignalWhileRecorded(event) : ::ResetEvent(event))) return Fail(WSA_INVALID_HANDLE);
    return 0;
}

}  // namespace ws
