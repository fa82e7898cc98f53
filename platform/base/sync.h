// Waitable objects and the Win32 wait functions: events (manual and auto
// reset), waits on one object or any/all of up to 64 with a time-out on the
// process clock, recursive critical sections and interlocked operations.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/handle.h"
#include "base/wintypes.h"

namespace plat {

// One waiting thread. It sleeps on its futex word, or, when its wait has
// sources (WaitSource), in poll() on its thread's eventfd beside the
// sources' descriptors; a wake-up costs a system call only while it sleeps.
// It is registered with every object it waits for, so a change of one
// object wakes only the threads waiting on it. It is marked woken with the
// notifying object's lock held, and the waiter leaves every object's list
// (under that object's lock) before the block goes away.
struct WaitBlock {
    enum : std::uint32_t { kIdle, kWoken, kAsleep, kPolling };
    std::atomic<std::uint32_t> state{kIdle};  // the futex word
    int wakeFd = -1;                          // the eventfd, while it polls
    // It sets objects itself while it collects its sources, awake.
    const std::thread::id owner = std::this_thread::get_id();
};

// The calling thread's wake-up descriptor (an eventfd; -1 when none could
// be made) and a number that names it for the thread's life, since
// descriptor numbers are reused.
struct ThreadWake {
    int fd = -1;
    std::uint64_t serial = 0;
};
const ThreadWake& ThisThreadWake();

// Wakes the waiters of an object. The futex calls are made when it goes out
// of scope: declared before the object's lock, it makes them after the lock
// is released, so a woken thread does not run into that lock. A call that
// comes late (its waiter went on meanwhile) ends at most a later sleep of
// that thread early, which every wait allows. The eventfd of a waiter in
// poll() is written at once, while the descriptor surely is the waiter's.
class Wakeups {
public:
    Wakeups() = default;
    Wakeups(const Wakeups&) = delete;
    Wakeups& operator=(const Wakeups&) = delete;
    ~Wakeups();
    // With the lock of an object the block waits on held.
    void Wake(WaitBlock& block);

private:
    static constexpr int kDeferred = 4;  // beyond them, calls are made at once
    std::atomic<std::uint32_t>* m_words[kDeferred] = {};
    int m_count = 0;
};

// Readiness that arrives from outside the process (a socket's network
// events): a descriptor that a waiting thread polls while it sleeps, so
// the kernel wakes the waiter itself, and the work that turns what the
// descriptor reports into the state of waitable objects. Collect runs
// without any object's lock held and may set events.
class WaitSource {
public:
    virtual ~WaitSource() = default;
    virtual int PollFd() const = 0;
    virtual void Collect() = 0;
    // Sleeps the thread in the source itself and collects what it reports,
    // in one system call, until it reports something, `wake` is written or
    // `timeout_ms` pass (-1: no limit); false when it cannot (another thread
    // sleeps in it), and the waiter polls instead.
    virtual bool SleepIn(const ThreadWake& /*wake*/, int /*timeout_ms*/) { return false; }
};

// A handle object that can be waited on. Its signal state and its list of
// waiters are guarded by its own lock (StateMutex), so threads that wait
// on different objects never meet on a lock; a wait on several objects
// takes their locks one at a time, or (wait-all) together in address
// order. The lock is held only for the checks, never while a thread
// sleeps. A subclass changes its state under it and then calls
// WakeWaitersLocked(), still under it, with a Wakeups declared before the
// lock.
class WaitableObject : public HandleObject {
public:
    virtual bool IsSignaledLocked() const = 0;
    // Called under the lock when a wait is satisfied by this object; an
    // auto-reset event resets itself here.
    virtual void AcquireLocked() {}
    // What a waiter polls besides its own wake-up, if anything.
    virtual std::shared_ptr<WaitSource> SourceLocked() const { return nullptr; }

    std::mutex& StateMutex() const { return m_mutex; }
    // With StateMutex held: wakes the threads waiting on this object.
    void WakeWaitersLocked(Wakeups& wakeups);
    void AddWaiterLocked(WaitBlock* block) { m_waiters.push_back(block); }
    void RemoveWaiterLocked(WaitBlock* block);

private:
    mutable std::mutex m_mutex;
    std::vector<WaitBlock*> m_waiters;
};

class Event final : public WaitableObject {
public:
    Event(bool manual_reset, bool initial_state) : m_manualReset(manual_reset), m_signaled(initial_state) {}
    bool IsSignaledLocked() const override { return m_signaled; }
    void AcquireLocked() override {
        if (!m_manualReset) m_signaled = false;
    }
    std::shared_ptr<WaitSource> SourceLocked() const override { return m_source; }
    void Set();
    void Reset();
    bool IsSet() const;
    // The source whose readiness sets this event (socket event selection).
    std::shared_ptr<WaitSource> Source() const;
    void AttachSource(std::shared_ptr<WaitSource> source);

private:
    const bool m_manualReset;
    bool m_signaled;
    std::shared_ptr<WaitSource> m_source;
};

// Whether the waitable object is signalled now, without acquiring it and
// without collecting what its sources report: for a thread that has just
// waited on it, which collected them. False for an invalid handle.
bool IsSignaled(HANDLE object);

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
