// The Winsock protocol catalogue: the providers a socket can be made from.
#include <cstring>
#include <mutex>

#include "base/last_error.h"
#include "base/text.h"
#include "net/socket_table.h"
#include "net/winsock.h"

namespace plat::net {
namespace {

std::mutex& CatalogMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::vector<WSAPROTOCOL_INFOW>& Catalog() {
    static auto* catalog = new std::vector<WSAPROTOCOL_INFOW>(DefaultProtocolCatalog());
    return *catalog;
}

WSAPROTOCOL_INFOW BaseEntry(DWORD id, int family, int type, int protocol, DWORD flags, const char* name) {
    WSAPROTOCOL_INFOW e;
    e.dwServiceFlags1 = flags | XP1_IFS_HANDLES;
    e.dwCatalogEntryId = id;
    e.ProtocolChain.ChainLen = BASE_PROTOCOL;
    e.iVersion = 2;
    e.iAddressFamily = family;
    e.iMaxSockAddr = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    e.iMinSockAddr = e.iMaxSockAddr;
    e.iSocketType = type;
    e.iProtocol = protocol;
    e.iNetworkByteOrder = 0;  // BIGENDIAN
    e.dwMessageSize = type == SOCK_STREAM ? 0 : 65467;
    CopyToField(e.szProtocol, std::size(e.szProtocol), Utf8ToUtf16(name));
    return e;
}

}  // namespace

std::vector<WSAPROTOCOL_INFOW> DefaultProtocolCatalog() {
    constexpr DWORD stream = XP1_GUARANTEED_DELIVERY | XP1_GUARANTEED_ORDER | XP1_GRACEFUL_CLOSE | XP1_EXPEDITED_DATA;
    constexpr DWORD datagram = XP1_CONNECTIONLESS | XP1_MESSAGE_ORIENTED | XP1_SUPPORT_BROADCAST;
    return {
        BaseEntry(1001, AF_INET, SOCK_STREAM, IPPROTO_TCP, stream, "TCP/IPv4 (BSD sockets)"),
        BaseEntry(1002, AF_INET, SOCK_DGRAM, IPPROTO_UDP, datagram, "UDP/IPv4 (BSD sockets)"),
        BaseEntry(1003, AF_INET6, SOCK_STREAM, IPPROTO_TCP, stream, "TCP/IPv6 (BSD sockets)"),
    };
}

std::vector<WSAPROTOCOL_INFOW> InstallProtocolCatalog(std::vector<WSAPROTOCOL_INFOW> catalog) {
    std::lock_guard lock(CatalogMutex());
    std::swap(Catalog(), catalog);
    return catalog;
}

}  // namespace plat::net

namespace ws {

int WSAEnumProtocolsW(const int* protocols, WSAPROTOCOL_INFOW* buffer, DWORD* length) {
    using namespace plat::net::detail;
    if (!LibraryStarted()) return Fail(WSANOTINITIALISED);
    if (!length) return Fail(WSAEFAULT);
    std::lock_guard lock(plat::net::CatalogMutex());
    std::vector<WSAPROTOCOL_INFOW> wanted;
    for (const auto& e : plat::net::Catalog()) {
        bool match = !protocols;
        for (const int* p = protocols; p && *p != 0 && !match; ++p) match = *p == e.iProtocol;
        if (match) wanted.push_back(e);
    }
    const DWORD needed = static_cast<DWORD>(wanted.size() * sizeof(WSAPROTOCOL_INFOW));
    if (!buffer || *length < needed) {
        *length = needed;
        return Fail(WSAENOBUFS);
    }
    if (!wanted.empty()) std::memcpy(buffer, wanted.data(), needed);
    return static_cast<int>(wanted.size());
}

}  // namespace ws
