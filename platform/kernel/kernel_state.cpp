// The machine-wide settings and the reset that gives tests and the host a
// fresh, empty kernel; PsGetVersion answers from the settings.
#include <unistd.h>
#include <sys/syscall.h>

#include "kernel/internal/device.h"
#include "kernel/internal/object.h"

namespace kern {
namespace detail {
void ResetThreadIrql();
void ResetPool();
void ResetFileSystems();
}  // namespace detail

namespace {
KernelSettings g_settings;
}  // namespace

void ResetKernel(const KernelSettings& settings) {
    DrainWorkQueues();
    g_settings = settings;
    detail::ResetThreadIrql();
    detail::ResetFileSystems();
    detail::ResetDevices();
    detail::ResetObjects(settings.filters_directory);
    detail::ResetPool();
}

const KernelSettings& Settings() { return g_settings; }

}  // namespace kern

extern "C" {

BOOLEAN PsGetVersion(PULONG major, PULONG minor, PULONG build, PUNICODE_STRING csd_version) {
    const auto& s = kern::Settings();
    if (major) *major = s.major_version;
    if (minor) *minor = s.minor_version;
    if (build) *build = s.build_number;
    if (csd_version) csd_version->Length = 0;
    return FALSE;  // a free build, not a checked one
}

HANDLE PsGetCurrentProcessId() { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(getpid())); }

HANDLE PsGetCurrentThreadId() {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(syscall(SYS_gettid)));
}

}  // extern "C"
