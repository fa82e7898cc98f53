#include "base/sync.h"

#include <algorithm>
#include <vector>

#include "base/clock.h"
#include "base/last_error.h"
#include "base/win_errors.h"

namespace plat {
namespace {

// Every thread that waits right now; guarded by SyncMutex.
std::vector<WaitBlock*>& AllWaiters() {
    static auto* waiters = new std::vector<WaitBlock*>;
    return *waiters;
}

void Unlist(std::vector<WaitBlock*>& list, WaitBlock* block) {
    const auto it = std::find(list.begin(), list.end(), block);
    if (it != list.end()) {
        *it = list.back();
        list.pop_back();
    }
}

}  // namespace

std::mutex& SyncMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

void WaitableObject::WakeWaitersLocked() {
    for (WaitBlock* block : m_waiters) block->cv.notify_one();
}

void WaitableObject::RemoveWaiterLocked(WaitBlock* block) { Unlist(m_waiters, block); }

void SignalChanged() {
    std::lock_guard lock(SyncMutex());
    for (WaitBlock* block : AllWaiters()) block->cv.notify_one();
}

void Event::Set() {
    std::lock_guard lock(SyncMutex());
    m_signaled = true;
    WakeWaitersLocked();
}

void Event::Reset() {
    std::lock_guard lock(SyncMutex());
    m_signaled = false;
}

bool Event::IsSet() const {
    std::lock_guard lock(SyncMutex());
    return m_signaled;
}

}  // namespace plat

namespace {

std::shared_ptr<plat::Event> LookupEvent(HANDLE handle) {
    auto event = plat::LookupHandleAs<plat::Event>(handle);
    if (!event) SetLastError(ERROR_INVALID_HANDLE);
    return event;
}

// Index of the object that satisfies the wait, or -1. With wait_all every
// object must be signalled; all are then acquired together.
int SatisfiedIndex(const std::vector<std::shared_ptr<plat::WaitableObject>>& objects, bool wait_all) {
    if (wait_all) {
        for (const auto& o : objects)
            if (!o->IsSignaledLocked()) return -1;
        for (const auto& o : objects) o->AcquireLocked();
        return 0;
    }
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (objects[i]->IsSignaledLocked()) {
            objects[i]->AcquireLocked();
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

HANDLE CreateEventW(SECURITY_ATTRIBUTES*, BOOL manual_reset, BOOL initial_state, LPCWSTR) {
    return plat::RegisterHandle(std::make_shared<plat::Event>(manual_reset != FALSE, initial_state != FALSE));
}

BOOL SetEvent(HANDLE event) {
    const auto e = LookupEvent(event);
    if (!e) return FALSE;
    e->Set();
    return TRUE;
}

BOOL ResetEvent(HANDLE event) {
    const auto e = LookupEvent(event);
    if (!e) return FALSE;
    e->Reset();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD timeout_ms) {
    return WaitForMultipleObjects(1, &handle, FALSE, timeout_ms);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all, DWORD timeout_ms) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<plat::WaitableObject>> objects;
    objects.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        auto o = plat::LookupHandleAs<plat::WaitableObject>(handles[i]);
        if (!o) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(o));
    }

    plat::Clock& clock = plat::CurrentClock();
    const std::uint64_t deadline = timeout_ms == INFINITE ? UINT64_MAX : clock.TickMs() + timeout_ms;
    std::unique_lock lock(plat::SyncMutex());
    const int first = SatisfiedIndex(objects, wait_all != FALSE);
    if (first >= 0) return WAIT_OBJECT_0 + static_cast<DWORD>(first);
    if (timeout_ms == 0) return WAIT_TIMEOUT;
    // Registered with each object (the notifier holds the lock, so the block
    // is never woken after it has left the lists), and woken only by them.
    plat::WaitBlock block;
    for (const auto& o : objects) o->AddWaiterLocked(&block);
    plat::AllWaiters().push_back(&block);
    DWORD result = WAIT_TIMEOUT;
    for (;;) {
        if (deadline == UINT64_MAX) block.cv.wait(lock);
        else clock.WaitUntil(lock, block.cv, deadline);
        const int index = SatisfiedIndex(objects, wait_all != FALSE);
        if (index >= 0) {
            result = WAIT_OBJECT_0 + static_cast<DWORD>(index);
            break;
        }
        if (clock.TickMs() >= deadline) break;
    }
    for (const auto& o : objects) o->RemoveWaiterLocked(&block);
    plat::Unlist(plat::AllWaiters(), &block);
    return result;
}

void InitializeCriticalSection(CRITICAL_SECTION*) {}
void DeleteCriticalSection(CRITICAL_SECTION*) {}
void EnterCriticalSection(CRITICAL_SECTION* cs) { cs->mutex.lock(); }
BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs) { return cs->mutex.try_lock() ? TRUE : FALSE; }
void LeaveCriticalSection(CRITICAL_SECTION* cs) { cs->mutex.unlock(); }

LONG InterlockedIncrement(volatile LONG* target) { return __atomic_add_fetch(target, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedDecrement(volatile LONG* target) { return __atomic_sub_fetch(target, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedExchange(volatile LONG* target, LONG value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand) {
    LONG expected = comparand;
    __atomic_compare_exchange_n(target, &expected, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return expected;
}
LONG InterlockedExchangeAdd(volatile LONG* target, LONG value) {
    return __atomic_fetch_add(target, value, __ATOMIC_SEQ_CST);
}
