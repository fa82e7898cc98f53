// Winsock 2 on BSD sockets. The calls keep Winsock's contract (results,
// WSAEWOULDBLOCK on non-blocking sockets, errors through the thread's last
// error) and live in namespace ws, because several of their names (send,
// recv, bind, ...) are also the C library's with other argument types.
//
// Event selection: a socket selected with WSAEventSelect is non-blocking;
// its network events are recorded with Winsock's re-enabling rules by the
// threads that wait on the selected event (or enumerate the socket), and
// signal that event:
//   FD_READ     once, then again only after a recv (recorded anew while data
//               remains);
//   FD_WRITE    when connected or accepted, and after a send that failed with
//               WSAEWOULDBLOCK once the socket is writable again;
//   FD_ACCEPT   once, then again after an accept while more connections wait;
//   FD_CONNECT  once, with the connect's error code;
//   FD_CLOSE    once: for a graceful close only after all received data has
//               been read, at once with WSAECONNRESET for an abortive one.
// An accepted socket inherits the listener's event and mask, as in Winsock.
#pragma once

#include <vector>

#include "base/scoped_install.h"
#include "net/winsock_types.h"

namespace ws {

int WSAStartup(WORD version, WSADATA* data);
int WSACleanup();
DWORD WSAGetLastError();
void WSASetLastError(DWORD error);

// The protocol catalogue. With too small a buffer (or none) the call fails
// with WSAENOBUFS and stores the size it needs in *length.
int WSAEnumProtocolsW(const int* protocols, WSAPROTOCOL_INFOW* buffer, DWORD* length);

SOCKET WSASocketW(int af, int type, int protocol, const WSAPROTOCOL_INFOW* info, GROUP group, DWORD flags);
int closesocket(SOCKET s);
int bind(SOCKET s, const sockaddr* name, int namelen);
int listen(SOCKET s, int backlog);
// The condition function of Winsock is not supported: pass none.
SOCKET WSAAccept(SOCKET s, sockaddr* addr, int* addrlen, void* condition = nullptr, DWORD_PTR data = 0);
// Non-blocking on a selected socket: WSAEWOULDBLOCK means started, and
// FD_CONNECT reports the outcome.
int WSAConnect(SOCKET s, const sockaddr* name, int namelen);
int send(SOCKET s, const char* buf, int len, int flags);
int recv(SOCKET s, char* buf, int len, int flags);
int shutdown(SOCKET s, int how);
int getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen);
int setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen);
int getpeername(SOCKET s, sockaddr* name, int* namelen);
int getsockname(SOCKET s, sockaddr* name, int* namelen);
int getnameinfo(const sockaddr* addr, int addrlen, char* host, DWORD hostlen, char* serv, DWORD servlen,
                int flags);
// IPv4 only. The record is per thread and valid until the thread's next call.
hostent* gethostbyname(const char* name);
// Readiness of up to 64 sockets; the time-out runs on the process clock.
int WSAPoll(WSAPOLLFD* fds, ULONG count, INT timeout_ms);

WSAEVENT WSACreateEvent();
BOOL WSACloseEvent(WSAEVENT event);
BOOL WSASetEvent(WSAEVENT event);
BOOL WSAResetEvent(WSAEVENT event);
int WSAEventSelect(SOCKET s, WSAEVENT event, long network_events);
DWORD WSAWaitForMultipleEvents(DWORD count, const WSAEVENT* events, BOOL wait_all, DWORD timeout_ms,
                               BOOL alertable);
// Returns and clears the recorded events; resets `event` when given.
int WSAEnumNetworkEvents(SOCKET s, WSAEVENT event, WSANETWORKEVENTS* events);

}  // namespace ws

namespace plat::net {

// The catalogue every process starts with: TCP/IPv4, UDP/IPv4 and TCP/IPv6
// base providers.
std::vector<WSAPROTOCOL_INFOW> DefaultProtocolCatalog();
// Replaces the catalogue (tests); returns the previous one.
std::vector<WSAPROTOCOL_INFOW> InstallProtocolCatalog(std::vector<WSAPROTOCOL_INFOW> catalog);

using ScopedProtocolCatalog = ScopedInstall<std::vector<WSAPROTOCOL_INFOW>, &InstallProtocolCatalog>;

}  // namespace plat::net
