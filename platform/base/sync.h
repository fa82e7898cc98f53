// Waitable objects and the Win32 wait functions: events (manual and auto
// reset), waits on one object or any/all of up to 64 with a time-out on the
// process clock, recursive critical sections and interlocked operations.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "base/handle.h"
#include "base/wintypes.h"

namespace plat {

// A handle object that can be waited on. Its signal state is guarded by the
// one process-wide wait lock (SyncMutex), so a wait on several objects sees
// them consistently. A subclass changes its state under that lock and then
// calls SignalChanged() so that waiters re-check.
class WaitableObject : public HandleObject {
public:
    virtual bool IsSignaledLocked() const = 0;
    // Called under the lock when a wait is satisfied by this object; an
    // auto-reset event resets itself here.
    virtual void AcquireLocked() {}
};

std::mutex& SyncMutex();
// Wakes every waiter so it re-checks its objects. Call with SyncMutex held
// or not; both are safe.
void SignalChanged();

class Event final : public WaitableObject {
public:
    Event(bool manual_reset, bool initial_state) : m_manualReset(manual_reset), m_signaled(initial_state) {}
    bool IsSignaledLocked() const override { return m_signaled; }
    void AcquireLocked() override {
        if (!m_manualReset) m_signaled = false;
    }
    void Set();
    void Reset();
    bool IsSet() const;

private:
    const bool m_manualReset;
    bool m_signaled;
};

}  // namespace plat

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED_0 = 0x80;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

struct SECURITY_ATTRIBUTES;

// Named events are process-local here; the name is ignored.
HANDLE CreateEventW(SECURITY_ATTRIBUTES* attributes, BOOL manual_reset, BOOL initial_state, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// WAIT_OBJECT_0 + index, WAIT_TIMEOUT, or WAIT_FAILED with the last error
// set (ERROR_INVALID_HANDLE for a closed, unknown or non-waitable handle;
// ERROR_INVALID_PARAMETER for a count of 0 or more than 64).
DWORD WaitForSingleObject(HANDLE handle, DWORD timeout_ms);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all, DWORD timeout_ms);

// A recursive lock with the Win32 critical-section calls. Initialize and
// Delete exist for the system's code; the object is ready once constructed.
struct CRITICAL_SECTION {
    std::recursive_mutex mutex;
};
void InitializeCriticalSection(CRITICAL_SECTION* cs);
void DeleteCriticalSection(CRITICAL_SECTION* cs);
void EnterCriticalSection(CRITICAL_SECTION* cs);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs);
void LeaveCriticalSection(CRITICAL_SECTION* cs);

// Interlocked 32-bit operations (full barriers). Increment and decrement
// return the new value; exchange and compare-exchange return the old one.
LONG InterlockedIncrement(volatile LONG* target);
LONG InterlockedDecrement(volatile LONG* target);
LONG InterlockedExchange(volatile LONG* target, LONG value);
LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand);
LONG InterlockedExchangeAdd(volatile LONG* target, LONG value);
