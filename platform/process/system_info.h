// What a program asks about the system it runs on: the system folder, the
// Windows version, the processor architecture and count, and the processors
// the process may run on.
//
// The version is the one GetVersion reports (service/version.h), so the
// service and the GUI see the same system. The architecture is the
// machine's own (uname): x86-64 and ARM64 count as 64-bit systems.
#pragma once

#include "base/wintypes.h"

// OSVERSIONINFOW (276 bytes) and OSVERSIONINFOEXW (284 bytes): the caller
// sets dwOSVersionInfoSize to the size of the record it passes.
struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    DWORD dwMajorVersion = 0;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
    DWORD dwPlatformId = 0;
    WCHAR szCSDVersion[128] = {};
};
static_assert(sizeof(OSVERSIONINFOW) == 276);

struct OSVERSIONINFOEXW {
    DWORD dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    DWORD dwMajorVersion = 0;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
    DWORD dwPlatformId = 0;
    WCHAR szCSDVersion[128] = {};
    WORD wServicePackMajor = 0;
    WORD wServicePackMinor = 0;
    WORD wSuiteMask = 0;
    BYTE wProductType = 0;
    BYTE wReserved = 0;
};
static_assert(sizeof(OSVERSIONINFOEXW) == 284);

constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
constexpr BYTE VER_NT_WORKSTATION = 1;

constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
constexpr WORD PROCESSOR_ARCHITECTURE_ARM = 5;
constexpr WORD PROCESSOR_ARCHITECTURE_IA64 = 6;
constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;
constexpr WORD PROCESSOR_ARCHITECTURE_ARM64 = 12;
constexpr WORD PROCESSOR_ARCHITECTURE_UNKNOWN = 0xFFFF;

struct SYSTEM_INFO {
    WORD wProcessorArchitecture = 0;
    WORD wReserved = 0;
    DWORD dwPageSize = 0;
    LPVOID lpMinimumApplicationAddress = nullptr;
    LPVOID lpMaximumApplicationAddress = nullptr;
    DWORD_PTR dwActiveProcessorMask = 0;
    DWORD dwNumberOfProcessors = 0;
    DWORD dwProcessorType = 0;
    DWORD dwAllocationGranularity = 0;
    WORD wProcessorLevel = 0;
    WORD wProcessorRevision = 0;
};

// The folder of the system's programs in Windows form ("\usr\bin"), without
// a trailing separator; the length copied, or the size needed (with the
// terminator) when the buffer is too small.
UINT GetSystemDirectoryW(LPWSTR buffer, UINT size);
// FALSE with ERROR_INSUFFICIENT_BUFFER when the size field names neither
// record.
BOOL GetVersionExW(OSVERSIONINFOW* info);
// The machine's architecture (what a process of any bitness would learn).
void GetNativeSystemInfo(SYSTEM_INFO* info);
// The architecture of this program's own build.
void GetSystemInfo(SYSTEM_INFO* info);
// Bit n stands for processor n; only the current process (GetCurrentProcess)
// is served. A mask naming no processor the process may use fails with
// ERROR_INVALID_PARAMETER and changes nothing. Linux keeps affinity per
// thread: every thread the process has now gets the mask, and threads
// started later inherit it from their creator.
BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR mask);
BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* process_mask, DWORD_PTR* system_mask);
