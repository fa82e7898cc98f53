// Spin locks and fast mutexes. A spin lock raises to DISPATCH_LEVEL and
// spins; a fast mutex raises to APC_LEVEL and sleeps. Neither is recursive:
// taking one twice on the same thread is a bug check, not a deadlock.
#include <atomic>
#include <thread>

#include "kernel/kernel.h"

namespace {

// A value that names the calling thread in a lock word (never 0).
ULONG_PTR ThreadMark() {
    static thread_local const char marker = 0;
    return reinterpret_cast<ULONG_PTR>(&marker);
}

std::atomic_ref<ULONG_PTR> Word(PKSPIN_LOCK lock) { return std::atomic_ref<ULONG_PTR>(*lock); }

void SpinAcquire(PKSPIN_LOCK lock) {
    const ULONG_PTR me = ThreadMark();
    if (Word(lock).load(std::memory_order_relaxed) == me)
        kern::BugCheck(SPIN_LOCK_ALREADY_OWNED, "SPIN_LOCK_ALREADY_OWNED: spin lock taken twice by one thread");
    ULONG_PTR expected = 0;
    while (!Word(lock).compare_exchange_weak(expected, me, std::memory_order_acquire)) {
        expected = 0;
        std::this_thread::yield();  // the owner may be a preempted thread here
    }
}

void SpinRelease(PKSPIN_LOCK lock) {
    ULONG_PTR expected = ThreadMark();
    if (!Word(lock).compare_exchange_strong(expected, 0, std::memory_order_release))
        kern::BugCheck(SPIN_LOCK_NOT_OWNED, "SPIN_LOCK_NOT_OWNED: spin lock released by a thread that does not hold it");
}

std::atomic_ref<LONG> Count(PFAST_MUTEX mutex) { return std::atomic_ref<LONG>(mutex->Count); }
// The owner is read by other threads (the taken-twice check) while the holder
// writes it, so every access is atomic.
std::atomic_ref<PVOID> Owner(PFAST_MUTEX mutex) { return std::atomic_ref<PVOID>(mutex->Owner); }

}  // namespace

extern "C" {

VOID KeInitializeSpinLock(PKSPIN_LOCK lock) { *lock = 0; }

VOID KeAcquireSpinLock(PKSPIN_LOCK lock, PKIRQL old_irql) {
    kern::RequireIrqlAtMost(DISPATCH_LEVEL, "KeAcquireSpinLock");
    KeRaiseIrql(DISPATCH_LEVEL, old_irql);
    SpinAcquire(lock);
}

VOID KeReleaseSpinLock(PKSPIN_LOCK lock, KIRQL new_irql) {
    SpinRelease(lock);
    KeLowerIrql(new_irql);
}

VOID KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK lock) {
    if (KeGetCurrentIrql() != DISPATCH_LEVEL)
        kern::BugCheck(IRQL_NOT_LESS_OR_EQUAL, "KeAcquireSpinLockAtDpcLevel called below DISPATCH_LEVEL");
    SpinAcquire(lock);
}

VOID KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK lock) { SpinRelease(lock); }

VOID ExInitializeFastMutex(PFAST_MUTEX mutex) {
    std::memset(static_cast<void*>(mutex), 0, sizeof(*mutex));
    mutex->Count = 1;
    KeInitializeEvent(&mutex->Event, SynchronizationEvent, FALSE);
}

VOID ExAcquireFastMutex(PFAST_MUTEX mutex) {
    kern::RequireIrqlAtMost(APC_LEVEL, "ExAcquireFastMutex");
    if (Owner(mutex).load(std::memory_order_relaxed) == reinterpret_cast<PVOID>(ThreadMark()))
        kern::BugCheck(IRQL_NOT_LESS_OR_EQUAL, "ExAcquireFastMutex: fast mutex taken twice by one thread");
    KIRQL old_irql;
    KeRaiseIrql(APC_LEVEL, &old_irql);
    for (;;) {
        LONG expected = 1;
        if (Count(mutex).compare_exchange_strong(expected, 0, std::memory_order_acquire)) break;
        ++mutex->Contention;
        Count(mutex).wait(0);
    }
    Owner(mutex).store(reinterpret_cast<PVOID>(ThreadMark()), std::memory_order_relaxed);
    mutex->OldIrql = old_irql;
}

BOOLEAN ExTryToAcquireFastMutex(PFAST_MUTEX mutex) {
    kern::RequireIrqlAtMost(APC_LEVEL, "ExTryToAcquireFastMutex");
    KIRQL old_irql;
    KeRaiseIrql(APC_LEVEL, &old_irql);
    LONG expected = 1;
    if (!Count(mutex).compare_exchange_strong(expected, 0, std::memory_order_acquire)) {
        KeLowerIrql(old_irql);
        return FALSE;
    }
    Owner(mutex).store(reinterpret_cast<PVOID>(ThreadMark()), std::memory_order_relaxed);
    mutex->OldIrql = old_irql;
    return TRUE;
}

VOID ExReleaseFastMutex(PFAST_MUTEX mutex) {
    if (Owner(mutex).load(std::memory_order_relaxed) != reinterpret_cast<PVOID>(ThreadMark()))
        kern::BugCheck(IRQL_NOT_LESS_OR_EQUAL, "ExReleaseFastMutex: fast mutex not held by this thread");
    const KIRQL old_irql = static_cast<KIRQL>(mutex->OldIrql);
    Owner(mutex).store(nullptr, std::memory_order_relaxed);
    Count(mutex).store(1, std::memory_order_release);
    Count(mutex).notify_one();
    KeLowerIrql(old_irql);
}

}  // extern "C"
