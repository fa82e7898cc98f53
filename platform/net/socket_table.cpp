#include "net/socket_table.h"

#include <unistd.h>

#include <cerrno>
#include <map>
#include <shared_mutex>
#include <utility>

#include "base/last_error.h"
#include "net/event_source.h"

namespace plat::net::detail {
namespace {

// Every send and receive looks its socket up: look-ups share the lock.
struct Table {
    std::shared_mutex mutex;
    std::map<SOCKET, SocketPtr> sockets;
    SOCKET next = 0x104;  // steps by 4, never 0
};

Table& TheTable() {
    static auto* table = new Table;
    return *table;
}

struct ErrnoMapping {
    int err;
    DWORD wsa;
};

constexpr ErrnoMapping kErrnoMap[] = {
    {EINTR, WSAEINTR},
    {EBADF, WSAENOTSOCK},
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EAGAIN, WSAEWOULDBLOCK},
    {EINPROGRESS, WSAEWOULDBLOCK},
    {EALREADY, WSAEALREADY},
    {ENOTSOCK, WSAENOTSOCK},
    {EDESTADDRREQ, WSAEDESTADDRREQ},
    {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE},
    {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
    {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
    {EOPNOTSUPP, WSAEOPNOTSUPP},
    {EPFNOSUPPORT, WSAEPFNOSUPPORT},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    {EPIPE, WSAECONNRESET},
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {EHOSTDOWN, WSAEHOSTDOWN},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
};

}  // namespace

SocketState::~SocketState() {
    if (fd >= 0) ::close(fd);
}

SOCKET AddSocket(SocketPtr state) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    const SOCKET value = t.next;
    t.next += 4;
    state->key = value;
    t.sockets.emplace(value, std::move(state));
    return value;
}

SocketPtr FindSocketQuietly(SOCKET s) {
    Table& t = TheTable();
    std::shared_lock lock(t.mutex);
    const auto it = t.sockets.find(s);
    return it == t.sockets.end() ? nullptr : it->second;
}

SocketPtr FindSocket(SOCKET s) {
    SocketPtr state = FindSocketQuietly(s);
    if (!state) SetLastError(WSAENOTSOCK);
    return state;
}

SocketPtr RemoveSocket(SOCKET s) {
    SocketPtr state;
    {
        Table& t = TheTable();
        std::lock_guard lock(t.mutex);
        const auto it = t.sockets.find(s);
        if (it == t.sockets.end()) {
            SetLastError(WSAENOTSOCK);
            return nullptr;
        }
        state = std::move(it->second);
        t.sockets.erase(it);
    }
    std::lock_guard lock(state->mutex);
    state->closed = true;
    ClearRecordLocked(*state);
    UnregisterLocked(*state);
    state->source.reset();
    return state;
}

DWORD WsaErrorFromErrno(int err) {
    for (const auto& m : kErrnoMap)
        if (m.err == err) return m.wsa;
    return WSAEINVAL;  // no closer Winsock meaning
}

int FailFromErrno() { return Fail(WsaErrorFromErrno(errno)); }

int Fail(DWORD wsa_error) {
    SetLastError(wsa_error);
    return SOCKET_ERROR;
}

}  // namespace plat::net::detail
