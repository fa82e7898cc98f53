// The Winsock socket calls on BSD sockets.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "base/clock.h"
#include "base/last_error.h"
#include "net/socket_table.h"
#include "net/winsock.h"

namespace plat::net::detail {
namespace {

std::atomic<int> g_startups{0};

}  // namespace

bool LibraryStarted() { return g_startups.load() > 0; }

}  // namespace plat::net::detail

namespace ws {

using namespace plat::net::detail;

DWORD WSAGetLastError() { return ::GetLastError(); }
void WSASetLastError(DWORD error) { ::SetLastError(error); }

int WSAStartup(WORD version, WSADATA* data) {
    if (!data) return static_cast<int>(WSAEFAULT);
    if (LOBYTE(version) < 2) return static_cast<int>(WSAVERNOTSUPPORTED);
    data->wVersion = MAKEWORD(2, 2);
    data->wHighVersion = MAKEWORD(2, 2);
    std::strcpy(data->szDescription, "Winsock 2.2 on BSD sockets");
    std::strcpy(data->szSystemStatus, "Running");
    ++g_startups;
    return 0;
}

int WSACleanup() {
    int current = g_startups.load();
    do {
        if (current <= 0) return Fail(WSANOTINITIALISED);
    } while (!g_startups.compare_exchange_weak(current, current - 1));
    return 0;
}

SOCKET WSASocketW(int af, int type, int protocol, const WSAPROTOCOL_INFOW* info, GROUP, DWORD) {
    if (!LibraryStarted()) {
        Fail(WSANOTINITIALISED);
        return INVALID_SOCKET;
    }
    WSAPROTOCOL_INFOW chosen{};
    if (info) {
        chosen = *info;
        if (af == FROM_PROTOCOL_INFO || af == 0) af = info->iAddressFamily;
        if (type == FROM_PROTOCOL_INFO || type == 0) type = info->iSocketType;
        if (protocol == FROM_PROTOCOL_INFO || protocol == 0) protocol = info->iProtocol;
    } else {
        chosen.iAddressFamily = af;
        chosen.iSocketType = type;
        chosen.iProtocol = protocol;
    }
    const int fd = ::socket(af, type | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        FailFromErrno();
        return INVALID_SOCKET;
    }
    auto state = std::make_shared<SocketState>(fd);
    state->info = chosen;
    return AddSocket(std::move(state));
}

int closesocket(SOCKET s) {
    // The poller's set forgets it, and the descriptor closes with the last
    // reference to its state.
    return RemoveSocket(s) ? 0 : SOCKET_ERROR;
}

int bind(SOCKET s, const sockaddr* name, int namelen) {
    SocketPtr state = FindSocket(s);
    if (!state) return SOCKET_ERROR;
    if (!name || namelen <= 0) return Fail(WSAEFAULT);
    // Winsock lets a listener bind a port whose old connections linger in
    // TIME_WAIT; SO_REUSEADDR gives Linux the same rule.
    const int on = 1;
    ::setsockopt(state->fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(state->fd, name, static_cast<socklen_t>(namelen)) != 0) return FailFromErrno();
    return 0;
}

int listen(SOCKET s, int backlog) {
    SocketPtr state = FindSocket(s);
    if (!state) return SOCKET_ERROR;
    if (::listen(state->fd, std::clamp(backlog, 1, SOMAXCONN)) != 0) return FailFromErrno();
    std::lock_guard lock(state->mutex);
    state->listening = true;
    RearmLocked(*state);
    return 0;
}

SOCKET WSAAccept(SOCKET s, sockaddr* addr, int* addrlen, void* condition, DWORD_PTR) {
    SocketPtr listener = FindSocket(s);
    if (!listener) return INVALID_SOCKET;
    if (condition) {
        Fail(WSAEOPNOTSUPP);
        return INVALID_SOCKET;
    }
    socklen_t len = addrlen ? static_cast<socklen_t>(*addrlen) : 0;
    const int fd = ::accept4(listener->fd, addr, addr ? &len : nullptr, SOCK_CLOEXEC);
    const int saved = errno;
    {
        std::lock_guard lock(listener->mutex);
        listener->acceptEnabled = true;
        RearmLocked(*listener, true);
    }
    if (fd < 0) {
        Fail(WsaErrorFromErrno(saved));
        return INVALID_SOCKET;
    }
    if (addrlen) *addrlen = static_cast<int>(len);
    auto state = std::make_shared<SocketState>(fd);
    state->info = listener->info;
    state->connected = true;
    HANDLE event = nullptr;
    long mask = 0;
    {
        std::lock_guard lock(listener->mutex);
        event = listener->event;
        mask = listener->mask;
    }
    const SOCKET accepted = AddSocket(state);
    // The inherited selection records FD_WRITE at once: the socket is
    // connected and writable.
    if (mask) WSAEventSelect(accepted, event, mask);
    return accepted;
}

int WSAConnect(SOCKET s, const sockaddr* name, int namelen) {
    SocketPtr state = FindSocket(s);
    if (!state) return SOCKET_ERROR;
    if (!name || namelen <= 0) return Fail(WSAEFAULT);
    const int r = ::connect(state->fd, name, static_cast<socklen_t>(namelen));
    const int saved = errno;
    if (r != 0 && saved != EINPROGRESS) return Fail(WsaErrorFromErrno(saved));
    {
        // Also after an immediate success, so that FD_CONNECT is recorded.
        std::lock_guard lock(state->mutex);
        state->connecting = true;
        RearmLocked(*state);
    }
    return r == 0 ? 0 : Fail(WSAEWOULDBLOCK);
}

int send(SOCKET s, const char* buf, int len, int flags) {
    SocketPtr state = FindSocket(s);
    if (!state) return SOCKET_ERROR;
    if (len < 0 || (!buf && len > 0)) return Fail(WSAEFAULT);
    const ssize_t n = ::send(state->fd, buf, static_cast<size_t>(len), flags | MSG_NOSIGNAL);
    if (n >= 0) return static_cast<int>(n);
    const int saved = errno;
    if (saved == EAGAIN || saved == EWOULDBLOCK) {
        std::lock_guard lock(state->mutex);
        state->writeEnabled = true;
        RearmLocked(*state);
    }
    return Fail(WsaErrorFromErrno(saved));
}

int recv(SOCKET s, char* buf, int len, int flags) {
    SocketPtr state = FindSocket(s);
    if (!state) return SOCKET_ERROR;
    if (len < 0 || (!buf && len > 0)) return Fail(WSAEFAULT);
    const ssize_t n = ::recv(state->fd, buf, static_cast<size_t>(len), flags);
    const int saved = errno;
    {
        std::lock_guard lock(state->mutex);
        AfterReceiveLocked(*state, n == len || (n > 0 && (flags & MSG_PEEK)));
    }
    return n >= 0 ? static_cast<int>(n) : Fail(WsaErrorFromErrno(saved));
}

int shutdown(SOCKET s, int how) {
    SocketPtr state = FindSocket(s);
    if (!state) return SOCKET_ERROR;
    if (how < SD_RECEIVE || how > SD_BOTH) return Fail(WSAEINVAL);
    return ::shutdown(state->fd, how) == 0 ? 0 : FailFromErrno();
}

int getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen) {
    SocketPtr state = FindSocket(s);
    if (!state) return SOCKET_ERROR;
    if (!optval || !optlen || *optlen < 0) return Fail(WSAEFAULT);
    if (level == SOL_SOCKET && optname == SO_PROTOCOL_INFOW) {
        if (*optlen < static_cast<int>(sizeof(WSAPROTOCOL_INFOW))) return Fail(WSAEFAULT);
        std::memcpy(optval, &state->info, sizeof state->info);
        *optlen = sizeof state->info;
        return 0;
    }
    socklen_t len = static_cast<socklen_t>(*optlen);
    if (::getsockopt(state->fd, level, optname, optval, &len) != 0) return FailFromErrno();
    *optlen = static_cast<int>(len);
    return 0;
}

int setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen) {
    SocketPtr state = FindSocket(s);
    if (!state) return SOCKET_ERROR;
    if (!optval || optlen < 0) return Fail(WSAEFAULT);
    if (::setsockopt(state->fd, level, optname, optval, static_cast<socklen_t>(optlen)) != 0) return FailFromErrno();
    return 0;
}

namespace {

template <typename Call>
int AddressOf(SOCKET s, sockaddr* name, int* namelen, Call call) {
    SocketPtr state = FindSocket(s);
    if (!state) return SOCKET_ERROR;
    if (!name || !namelen || *namelen < 0) return Fail(WSAEFAULT);
    socklen_t len = static_cast<socklen_t>(*namelen);
    if (call(state->fd, name, &len) != 0) return FailFromErrno();
    *namelen = static_cast<int>(len);
    return 0;
}

}  // namespace

int getpeername(SOCKET s, sockaddr* name, int* namelen) { return AddressOf(s, name, namelen, ::getpeername); }
int getsockname(SOCKET s, sockaddr* name, int* namelen) { return AddressOf(s, name, namelen, ::getsockname); }

int WSAPoll(WSAPOLLFD* fds, ULONG count, INT timeout_ms) {
    if (!fds || count == 0 || count > WSA_MAXIMUM_WAIT_EVENTS) return Fail(WSAEINVAL);
    std::vector<pollfd> pfds(count);
    std::vector<SocketPtr> keep(count);
    for (ULONG i = 0; i < count; ++i) {
        keep[i] = FindSocket(fds[i].fd);
        if (!keep[i]) return SOCKET_ERROR;
        pfds[i] = pollfd{keep[i]->fd, fds[i].events, 0};
    }
    // On the system clock one poll waits the whole time-out; on another (a
    // test's manual clock) the wait is cut into slices, each checked
    // against it.
    plat::Clock& clock = plat::CurrentClock();
    const std::uint64_t deadline =
        timeout_ms < 0 ? plat::Clock::kNoDeadline : clock.TickMs() + std::uint64_t(timeout_ms);
    for (;;) {
        const int slice = plat::PollTimeoutMs(clock.SleepSliceMs(deadline));
        const int r = ::poll(pfds.data(), count, slice);
        if (r < 0 && errno != EINTR) return FailFromErrno();
        if (r > 0 || clock.TickMs() >= deadline) {
            for (ULONG i = 0; i < count; ++i) fds[i].revents = pfds[i].revents;
            return std::max(r, 0);
        }
    }
}

}  // namespace ws
