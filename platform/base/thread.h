// Threads as waitable handles: a thread's handle is signalled when its
// routine returns, so WaitForSingleObject on it is a join with a time-out.
#pragma once

#include <functional>

#include "base/sync.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

constexpr DWORD STILL_ACTIVE = 259;
constexpr DWORD CREATE_SUSPENDED = 0x4;

// Creation flags other than 0 are refused (ERROR_INVALID_PARAMETER): the
// system's code never creates suspended threads.
HANDLE CreateThread(SECURITY_ATTRIBUTES* attributes, SIZE_T stack_size, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, DWORD* thread_id);
BOOL GetExitCodeThread(HANDLE thread, DWORD* exit_code);
// The kernel's thread id (gettid), as Windows gives its own ids.
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();

namespace plat {

// Starts `body` on a new thread and returns its handle (nullptr on failure,
// with the last error set). The id is stored in *thread_id when given.
HANDLE StartThread(std::function<DWORD()> body, DWORD* thread_id = nullptr);

}  // namespace plat
