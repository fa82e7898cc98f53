#include "process/system_info.h"

#include <sched.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "service/version.h"

namespace {

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
constexpr char16_t kSystemDirectory[] = u"\\usr\\bin";

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

WORD ArchitectureOf(const std::string& machine) {
    if (machine == "x86_64") return PROCESSOR_ARCHITECTURE_AMD64;
    if (machine == "aarch64" || machine == "arm64") return PROCESSOR_ARCHITECTURE_ARM64;
    if (machine == "ia64") return PROCESSOR_ARCHITECTURE_IA64;
    if (machine.rfind("arm", 0) == 0) return PROCESSOR_ARCHITECTURE_ARM;
    if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") return PROCESSOR_ARCHITECTURE_INTEL;
    return PROCESSOR_ARCHITECTURE_UNKNOWN;
}

WORD BuildArchitecture() {
#if defined(__x86_64__)
    return PROCESSOR_ARCHITECTURE_AMD64;
#elif defined(__aarch64__)
    return PROCESSOR_ARCHITECTURE_ARM64;
#elif defined(__i386__)
    return PROCESSOR_ARCHITECTURE_INTEL;
#elif defined(__arm__)
    return PROCESSOR_ARCHITECTURE_ARM;
#else
    return PROCESSOR_ARCHITECTURE_UNKNOWN;
#endif
}

DWORD_PTR AllowedMask() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 0;
    DWORD_PTR mask = 0;
    for (unsigned cpu = 0; cpu < sizeof(DWORD_PTR) * 8; ++cpu)
        if (CPU_ISSET(cpu, &set)) mask |= DWORD_PTR(1) << cpu;
    return mask;
}

DWORD_PTR SystemMask() {
    const long count = std::clamp(sysconf(_SC_NPROCESSORS_CONF), 1L, long(sizeof(DWORD_PTR) * 8));
    return count == long(sizeof(DWORD_PTR) * 8) ? ~DWORD_PTR(0) : (DWORD_PTR(1) << count) - 1;
}

void FillSystemInfo(SYSTEM_INFO* info, WORD architecture) {
    if (!info) return;
    *info = SYSTEM_INFO{};
    info->wProcessorArchitecture = architecture;
    info->dwPageSize = DWORD(sysconf(_SC_PAGESIZE));
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(std::uintptr_t(0x10000));
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(~std::uintptr_t(0) >> 17 << 16);
    info->dwActiveProcessorMask = SystemMask();
    info->dwNumberOfProcessors = DWORD(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
    info->dwAllocationGranularity = 0x10000;
}

}  // namespace

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) {
    constexpr UINT length = UINT(std::size(kSystemDirectory) - 1);
    if (!buffer || size <= length) return length + 1;
    std::copy_n(kSystemDirectory, length + 1, buffer);
    return length;
}

BOOL GetVersionExW(OSVERSIONINFOW* info) {
    if (!info) return Fail(ERROR_INVALID_PARAMETER);
    const DWORD size = info->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOW) && size != sizeof(OSVERSIONINFOEXW)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    const DWORD packed = GetVersion();
    std::memset(reinterpret_cast<BYTE*>(info) + sizeof(DWORD), 0, size - sizeof(DWORD));
    info->dwMajorVersion = LOBYTE(LOWORD(packed));
    info->dwMinorVersion = HIBYTE(LOWORD(packed));
    info->dwBuildNumber = HIWORD(packed);
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    if (size == sizeof(OSVERSIONINFOEXW)) reinterpret_cast<OSVERSIONINFOEXW*>(info)->wProductType = VER_NT_WORKSTATION;
    return TRUE;
}

void GetNativeSystemInfo(SYSTEM_INFO* info) {
    utsname name{};
    uname(&name);
    FillSystemInfo(info, ArchitectureOf(name.machine));
}

void GetSystemInfo(SYSTEM_INFO* info) { FillSystemInfo(info, BuildArchitecture()); }

BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR mask) {
    if (process != kCurrentProcess) return Fail(ERROR_ACCESS_DENIED);
    if (!mask || (mask & ~SystemMask())) return Fail(ERROR_INVALID_PARAMETER);
    cpu_set_t set;
    CPU_ZERO(&set);
    for (unsigned cpu = 0; cpu < sizeof(DWORD_PTR) * 8; ++cpu)
        if (mask & (DWORD_PTR(1) << cpu)) CPU_SET(cpu, &set);
    // The calling thread first: a mask it may not use changes no thread.
    if (sched_setaffinity(0, sizeof set, &set) != 0) return Fail(ERROR_INVALID_PARAMETER);
    bool all = true;
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        const pid_t tid = pid_t(std::atol(task.path().filename().c_str()));
        if (tid > 0 && sched_setaffinity(tid, sizeof set, &set) != 0) all = false;
    }
    return all && !ec ? TRUE : Fail(ERROR_ACCESS_DENIED);
}

BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* process_mask, DWORD_PTR* system_mask) {
    if (process != kCurrentProcess) return Fail(ERROR_ACCESS_DENIED);
    if (!process_mask || !system_mask) return Fail(ERROR_INVALID_PARAMETER);
    *process_mask = AllowedMask();
    *system_mask = SystemMask();
    return TRUE;
}
