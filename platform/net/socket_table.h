// Internal: the table of open sockets and the per-socket state that event
// selection keeps. SOCKET values are table keys that never repeat, so a
// stale value is WSAENOTSOCK, never another connection.
#pragma once

#include <memory>
#include <mutex>

#include "net/winsock_types.h"

namespace plat::net::detail {

class EventSource;

struct SocketState {
    explicit SocketState(int fd_) : fd(fd_) {}
    ~SocketState();  // closes the descriptor once nobody uses it any more
    SocketState(const SocketState&) = delete;
    SocketState& operator=(const SocketState&) = delete;

    const int fd;
    SOCKET key = 0;  // its value in the table
    WSAPROTOCOL_INFOW info{};

    // Guards the selection state below. Each socket has its own, so calls
    // on different sockets never meet on a lock.
    std::mutex mutex;
    bool closed = false;
    bool registered = false;  // in its event's epoll set
    short armed = 0;          // the events it is in the set for
    HANDLE event = nullptr;
    std::shared_ptr<EventSource> source;  // the selected event's set
    long mask = 0;
    long recorded = 0;
    int errors[FD_MAX_EVENTS] = {};
    bool listening = false;
    bool connecting = false;
    bool connected = false;
    bool peerClosed = false;  // the peer's close was seen; no more polling
    bool closeRecorded = false;
    bool readEnabled = true;
    bool readPending = false;  // data came while FD_READ was disabled
    bool acceptEnabled = true;
    bool writeEnabled = false;
};

using SocketPtr = std::shared_ptr<SocketState>;

// Lock order: a socket's mutex, then its event source's, then the base
// objects' state locks (SetEvent/ResetEvent). The table's own lock is
// never held while another is taken.
SOCKET AddSocket(SocketPtr state);
// The state, or nullptr with WSAENOTSOCK as last error.
SocketPtr FindSocket(SOCKET s);
// The same without touching the last error.
SocketPtr FindSocketQuietly(SOCKET s);
// Takes the socket out of the table and out of its selection.
SocketPtr RemoveSocket(SOCKET s);

// Winsock's error for an errno value.
DWORD WsaErrorFromErrno(int err);
// Sets the last error from errno and returns SOCKET_ERROR.
int FailFromErrno();
int Fail(DWORD wsa_error);

// Event selection (event_select.cpp), with the socket's mutex held.
void RecordLocked(SocketState& s, int bit, int error);
// Forgets the recorded events (enumerated, or the socket closed).
void ClearRecordLocked(SocketState& s);
// Records what the socket's epoll entry reported.
void ReadinessLocked(SocketState& s, short poll_events);
// After a recv; `may_remain` when it filled its buffer or only peeked.
void AfterReceiveLocked(SocketState& s, bool may_remain);
// Puts the socket in its event's set for the events it waits for now,
// after a change of its state (listening, connecting, connected, blocked
// on a send); `look_again` has epoll look at its readiness anew (an accept
// enabled FD_ACCEPT again while more connections may wait).
void RearmLocked(SocketState& s, bool look_again = false);
// Takes the socket out of its event's set.
void UnregisterLocked(SocketState& s);

bool LibraryStarted();

}  // namespace plat::net::detail
