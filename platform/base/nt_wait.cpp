#include "base/nt_wait.h"

#include <algorithm>

#include "base/clock.h"
#include "base/sync.h"

namespace {

// Milliseconds to wait for an NT time-out value, rounded up so a short
// relative wait never becomes a zero-length poll.
DWORD TimeoutMs(const LARGE_INTEGER* timeout) {
    if (!timeout) return INFINITE;
    std::int64_t units = timeout->QuadPart;
    if (units > 0) {
        const auto now = static_cast<std::int64_t>(plat::CurrentClock().NowFileTime());
        units = std::min<std::int64_t>(now - units, 0);  // absolute -> negative relative
    }
    const std::uint64_t ms = (static_cast<std::uint64_t>(-units) + plat::kFileTimePerMs - 1) / plat::kFileTimePerMs;
    return static_cast<DWORD>(std::min<std::uint64_t>(ms, INFINITE - 1));
}

}  // namespace

NTSTATUS NtWaitForSingleObject(HANDLE handle, BOOLEAN /*alertable*/, LARGE_INTEGER* timeout) {
    switch (WaitForSingleObject(handle, TimeoutMs(timeout))) {
        case WAIT_OBJECT_0:
            return STATUS_WAIT_0;
        case WAIT_TIMEOUT:
            return STATUS_TIMEOUT;
        default:
            return STATUS_INVALID_HANDLE;
    }
}
