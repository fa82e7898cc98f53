#include "sockets/SocketLibrary.h"

#include "base/sync.h"
#include "net/winsock.h"
#include "sockets/SocketLog.h"

namespace {
volatile LONG g_starts = 0;
}

int StartSocketLibrary(BYTE major, BYTE minor) {
    SockTrace("\nZelmor Socket Lib V%i.%i (Build %i)\n", kSocketLibMajor, kSocketLibMinor, kSocketLibBuild);
    WSADATA data;
    const int error = ws::WSAStartup(MAKEWORD(major, minor), &data);
    if (error != 0) {
        SockTrace("error while initializing Windows Sockets V%i.%i\n", major, minor);
        return error;
    }
    InterlockedIncrement(&g_starts);
    SockTrace("using Windows Sockets V%i.%i\n", LOBYTE(data.wVersion), HIBYTE(data.wVersion));
    return 0;
}

void StopSocketLibrary() {
    if (InterlockedDecrement(&g_starts) >= 0) ws::WSACleanup();
}

LONG SocketLibraryStarts() { return InterlockedExchangeAdd(&g_starts, 0); }
