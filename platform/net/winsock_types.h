// The Winsock 2 vocabulary the system's socket code is written in: socket
// and event handles, the network-event bits, the protocol catalogue record
// and the Winsock error numbers (Windows' values). Addresses are the BSD
// records (sockaddr_in, in_addr, hostent) that Winsock shares with Linux.
#pragma once

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include "base/wintypes.h"

using SOCKET = std::uintptr_t;
using WSAEVENT = HANDLE;
using GROUP = unsigned int;

inline constexpr SOCKET INVALID_SOCKET = ~SOCKET{0};
inline constexpr int SOCKET_ERROR = -1;

// Network events, in bit order; the *_BIT values index iErrorCode.
inline constexpr long FD_READ = 0x01;
inline constexpr long FD_WRITE = 0x02;
inline constexpr long FD_OOB = 0x04;
inline constexpr long FD_ACCEPT = 0x08;
inline constexpr long FD_CONNECT = 0x10;
inline constexpr long FD_CLOSE = 0x20;
inline constexpr long FD_QOS = 0x40;
inline constexpr long FD_GROUP_QOS = 0x80;
inline constexpr long FD_ROUTING_INTERFACE_CHANGE = 0x100;
inline constexpr long FD_ADDRESS_LIST_CHANGE = 0x200;
inline constexpr int FD_MAX_EVENTS = 10;
inline constexpr long FD_ALL_EVENTS = (1 << FD_MAX_EVENTS) - 1;
inline constexpr int FD_READ_BIT = 0;
inline constexpr int FD_WRITE_BIT = 1;
inline constexpr int FD_OOB_BIT = 2;
inline constexpr int FD_ACCEPT_BIT = 3;
inline constexpr int FD_CONNECT_BIT = 4;
inline constexpr int FD_CLOSE_BIT = 5;

struct WSANETWORKEVENTS {
    long lNetworkEvents = 0;
    int iErrorCode[FD_MAX_EVENTS] = {};
};

inline constexpr DWORD WSA_WAIT_EVENT_0 = 0;
inline constexpr DWORD WSA_WAIT_TIMEOUT = 258;
inline constexpr DWORD WSA_WAIT_FAILED = 0xFFFFFFFFu;
inline constexpr DWORD WSA_INFINITE = 0xFFFFFFFFu;
inline constexpr DWORD WSA_MAXIMUM_WAIT_EVENTS = 64;
inline constexpr DWORD WSA_FLAG_OVERLAPPED = 0x01;

inline constexpr int SD_RECEIVE = 0;
inline constexpr int SD_SEND = 1;
inline constexpr int SD_BOTH = 2;

// getsockopt option: the catalogue entry the socket was made from.
inline constexpr int SO_PROTOCOL_INFOW = 0x2005;
inline constexpr int FROM_PROTOCOL_INFO = -1;

struct WSADATA {
    WORD wVersion = 0;
    WORD wHighVersion = 0;
    char szDescription[257] = {};
    char szSystemStatus[129] = {};
};

// Service-flag bits of a catalogue entry (dwServiceFlags1).
inline constexpr DWORD XP1_CONNECTIONLESS = 0x00000001;
inline constexpr DWORD XP1_GUARANTEED_DELIVERY = 0x00000002;
inline constexpr DWORD XP1_GUARANTEED_ORDER = 0x00000004;
inline constexpr DWORD XP1_MESSAGE_ORIENTED = 0x00000008;
inline constexpr DWORD XP1_GRACEFUL_CLOSE = 0x00000040;
inline constexpr DWORD XP1_EXPEDITED_DATA = 0x00000080;
inline constexpr DWORD XP1_SUPPORT_BROADCAST = 0x00000200;
inline constexpr DWORD XP1_IFS_HANDLES = 0x00020000;
inline constexpr int WSAPROTOCOL_LEN = 255;
inline constexpr int MAX_PROTOCOL_CHAIN = 7;
inline constexpr int BASE_PROTOCOL = 1;
inline constexpr int LAYERED_PROTOCOL = 0;

struct WSAPROTOCOLCHAIN {
    int ChainLen = 0;  // 0 layered, 1 base, >1 chain
    DWORD ChainEntries[MAX_PROTOCOL_CHAIN] = {};
};

struct WSAPROTOCOL_INFOW {
    DWORD dwServiceFlags1 = 0;
    DWORD dwServiceFlags2 = 0;
    DWORD dwServiceFlags3 = 0;
    DWORD dwServiceFlags4 = 0;
    DWORD dwProviderFlags = 0;
    GUID ProviderId{};
    DWORD dwCatalogEntryId = 0;
    WSAPROTOCOLCHAIN ProtocolChain{};
    int iVersion = 0;
    int iAddressFamily = 0;
    int iMaxSockAddr = 0;
    int iMinSockAddr = 0;
    int iSocketType = 0;
    int iProtocol = 0;
    int iProtocolMaxOffset = 0;
    int iNetworkByteOrder = 0;
    int iSecurityScheme = 0;
    DWORD dwMessageSize = 0;
    DWORD dwProviderReserved = 0;
    WCHAR szProtocol[WSAPROTOCOL_LEN + 1] = {};
};

// WSAPoll takes the poll event bits of <poll.h> (POLLIN, POLLOUT, ...).
struct WSAPOLLFD {
    SOCKET fd = INVALID_SOCKET;
    SHORT events = 0;
    SHORT revents = 0;
};

// Winsock error numbers, as WSAGetLastError reports them.
inline constexpr DWORD WSA_INVALID_HANDLE = 6;
inline constexpr DWORD WSA_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD WSA_INVALID_PARAMETER = 87;
inline constexpr DWORD WSAEINTR = 10004;
inline constexpr DWORD WSAEBADF = 10009;
inline constexpr DWORD WSAEACCES = 10013;
inline constexpr DWORD WSAEFAULT = 10014;
inline constexpr DWORD WSAEINVAL = 10022;
inline constexpr DWORD WSAEMFILE = 10024;
inline constexpr DWORD WSAEWOULDBLOCK = 10035;
inline constexpr DWORD WSAEINPROGRESS = 10036;
inline constexpr DWORD WSAEALREADY = 10037;
inline constexpr DWORD WSAENOTSOCK = 10038;
inline constexpr DWORD WSAEDESTADDRREQ = 10039;
inline constexpr DWORD WSAEMSGSIZE = 10040;
inline constexpr DWORD WSAEPROTOTYPE = 10041;
inline constexpr DWORD WSAENOPROTOOPT = 10042;
inline constexpr DWORD WSAEPROTONOSUPPORT = 10043;
inline constexpr DWORD WSAESOCKTNOSUPPORT = 10044;
inline constexpr DWORD WSAEOPNOTSUPP = 10045;
inline constexpr DWORD WSAEPFNOSUPPORT = 10046;
inline constexpr DWORD WSAEAFNOSUPPORT = 10047;
inline constexpr DWORD WSAEADDRINUSE = 10048;
inline constexpr DWORD WSAEADDRNOTAVAIL = 10049;
inline constexpr DWORD WSAENETDOWN = 10050;
inline constexpr DWORD WSAENETUNREACH = 10051;
inline constexpr DWORD WSAENETRESET = 10052;
inline constexpr DWORD WSAECONNABORTED = 10053;
inline constexpr DWORD WSAECONNRESET = 10054;
inline constexpr DWORD WSAENOBUFS = 10055;
inline constexpr DWORD WSAEISCONN = 10056;
inline constexpr DWORD WSAENOTCONN = 10057;
inline constexpr DWORD WSAESHUTDOWN = 10058;
inline constexpr DWORD WSAETIMEDOUT = 10060;
inline constexpr DWORD WSAECONNREFUSED = 10061;
inline constexpr DWORD WSAEHOSTDOWN = 10064;
inline constexpr DWORD WSAEHOSTUNREACH = 10065;
inline constexpr DWORD WSASYSNOTREADY = 10091;
inline constexpr DWORD WSAVERNOTSUPPORTED = 10092;
inline constexpr DWORD WSANOTINITIALISED = 10093;
inline constexpr DWORD WSAHOST_NOT_FOUND = 11001;
inline constexpr DWORD WSATRY_AGAIN = 11002;
inline constexpr DWORD WSANO_RECOVERY = 11003;
inline constexpr DWORD WSANO_DATA = 11004;
inline constexpr DWORD WSATYPE_NOT_FOUND_OR_INVALID = 10109;
