// The native wait on any waitable handle (events, threads, device files).
#pragma once

#include "base/ntstatus.h"
#include "base/wintypes.h"

// `timeout` null waits without limit; a negative value is a relative
// time-out in 100-ns units, a positive one an absolute system time; both run
// on the platform clock. Returns STATUS_WAIT_0, STATUS_TIMEOUT, or
// STATUS_INVALID_HANDLE for a closed, unknown or non-waitable handle. Waits
// are never alerted here.
NTSTATUS NtWaitForSingleObject(HANDLE handle, BOOLEAN alertable, LARGE_INTEGER* timeout);
