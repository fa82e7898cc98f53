// Host names and addresses: gethostbyname (IPv4, per-thread record) and
// getnameinfo with Winsock error numbers.
#include <cstring>
#include <string>
#include <vector>

#include "base/last_error.h"
#include "net/socket_table.h"
#include "net/winsock.h"

namespace ws {
namespace {

// The storage behind the hostent a thread received last.
struct HostRecord {
    hostent entry{};
    std::string name;
    std::vector<in_addr> addresses;
    std::vector<char*> addressList;
    char* aliases[1] = {nullptr};
};

DWORD WsaErrorFromEai(int eai) {
    switch (eai) {
        case EAI_AGAIN: return WSATRY_AGAIN;
        case EAI_NONAME: return WSAHOST_NOT_FOUND;
#ifdef EAI_NODATA
        case EAI_NODATA: return WSANO_DATA;
#endif
        case EAI_MEMORY: return WSA_NOT_ENOUGH_MEMORY;
        case EAI_FAMILY: return WSAEAFNOSUPPORT;
        case EAI_SERVICE: return WSATYPE_NOT_FOUND_OR_INVALID;
        default: return WSANO_RECOVERY;
    }
}

}  // namespace

hostent* gethostbyname(const char* name) {
    using namespace plat::net::detail;
    if (!LibraryStarted()) {
        Fail(WSANOTINITIALISED);
        return nullptr;
    }
    if (!name) {
        Fail(WSAEFAULT);
        return nullptr;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int eai = ::getaddrinfo(name, nullptr, &hints, &result);
    if (eai != 0) {
        Fail(WsaErrorFromEai(eai));
        return nullptr;
    }
    thread_local HostRecord record;
    record.name = name;
    record.addresses.clear();
    for (const addrinfo* ai = result; ai; ai = ai->ai_next)
        record.addresses.push_back(reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr);
    ::freeaddrinfo(result);
    record.addressList.clear();
    for (auto& a : record.addresses) record.addressList.push_back(reinterpret_cast<char*>(&a));
    record.addressList.push_back(nullptr);
    record.entry.h_name = record.name.data();
    record.entry.h_aliases = record.aliases;
    record.entry.h_addrtype = AF_INET;
    record.entry.h_length = sizeof(in_addr);
    record.entry.h_addr_list = record.addressList.data();
    return &record.entry;
}

int getnameinfo(const sockaddr* addr, int addrlen, char* host, DWORD hostlen, char* serv, DWORD servlen, int flags) {
    if (!addr || addrlen <= 0) return static_cast<int>(WSAEFAULT);
    const int eai = ::getnameinfo(addr, static_cast<socklen_t>(addrlen), host, hostlen, serv, servlen, flags);
    if (eai == 0) return 0;
    const DWORD error = WsaErrorFromEai(eai);
    ::SetLastError(error);
    return static_cast<int>(error);
}

}  // namespace ws
