// Start and stop of the socket library: a process-wide counter around
// WSAStartup and WSACleanup, with the library's banner.
#pragma once

#include "base/wintypes.h"

inline constexpr int kSocketLibMajor = 1;
inline constexpr int kSocketLibMinor = 1;
inline constexpr int kSocketLibBuild = 121;

// Starts Winsock `major`.`minor`; 0, or the Winsock error.
int StartSocketLibrary(BYTE major = 2, BYTE minor = 2);
// Calls WSACleanup while the counter is still at least 0 after the decrement.
void StopSocketLibrary();
LONG SocketLibraryStarts();
