// Kernel events, waits and delays. All dispatcher objects share one lock and
// one condition variable, as NT's dispatcher database has one lock. Timed
// waits read the process clock, so tests drive them with a manual clock.
#include <condition_variable>
#include <mutex>

#include "base/clock.h"
#include "kernel/internal/remote_event.h"
#include "kernel/kernel.h"

namespace {

std::mutex& DispatcherLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

std::condition_variable& DispatcherChanged() {
    static auto* cv = new std::condition_variable;
    return *cv;
}

constexpr UCHAR kSynchronizationType = 1;

// The tick at which a kernel time-out ends: negative is relative in 100 ns
// units, positive an absolute system time.
std::uint64_t DeadlineTick(const LARGE_INTEGER& timeout) {
    plat::Clock& clock = plat::CurrentClock();
    if (timeout.QuadPart < 0) return clock.TickMs() + std::uint64_t((-timeout.QuadPart + 9999) / 10000);
    return clock.TickAtFileTime(std::uint64_t(timeout.QuadPart));
}

}  // namespace

extern "C" {

VOID KeInitializeEvent(PRKEVENT event, EVENT_TYPE type, BOOLEAN state) {
    event->Header.Type = type == SynchronizationEvent ? kSynchronizationType : 0;
    event->Header.Absolute = 0;
    event->Header.Size = sizeof(KEVENT) / sizeof(LONG);
    event->Header.Inserted = 0;
    event->Header.SignalState = state ? 1 : 0;
    event->Header.RemoteSignal = nullptr;
}

// The event may be gone as soon as a waiter runs (a waiter often owns it on
// its stack), so nothing of it is read after the signal.
LONG KeSetEvent(PRKEVENT event, KPRIORITY, BOOLEAN) {
    kern::RequireIrqlAtMost(DISPATCH_LEVEL, "KeSetEvent");
    LONG previous;
    PVOID remote;
    {
        std::lock_guard lock(DispatcherLock());
        remote = event->Header.RemoteSignal;
        previous = event->Header.SignalState;
        event->Header.SignalState = 1;
    }
    DispatcherChanged().notify_all();
    if (remote) kern::detail::SignalRemoteEvent(remote);  // its object is referenced by the caller
    return previous;
}

LONG KeResetEvent(PRKEVENT event) {
    kern::RequireIrqlAtMost(DISPATCH_LEVEL, "KeResetEvent");
    std::lock_guard lock(DispatcherLock());
    const LONG previous = event->Header.SignalState;
    event->Header.SignalState = 0;
    return previous;
}

VOID KeClearEvent(PRKEVENT event) { KeResetEvent(event); }

LONG KeReadStateEvent(PRKEVENT event) {
    std::lock_guard lock(DispatcherLock());
    return event->Header.SignalState;
}

NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON, KPROCESSOR_MODE, BOOLEAN, PLARGE_INTEGER timeout) {
    const bool zero_timeout = timeout && timeout->QuadPart == 0;
    kern::RequireIrqlAtMost(zero_timeout ? DISPATCH_LEVEL : APC_LEVEL, "KeWaitForSingleObject");
    auto* header = &static_cast<PKEVENT>(object)->Header;
    const bool timed = timeout != nullptr;
    const std::uint64_t deadline = timed ? DeadlineTick(*timeout) : 0;
    std::unique_lock lock(DispatcherLock());
    for (;;) {
        if (header->SignalState > 0) {
            if (header->Type == kSynchronizationType) header->SignalState = 0;
            return STATUS_SUCCESS;
        }
        if (!timed) {
            DispatcherChanged().wait(lock);
            continue;
        }
        if (plat::CurrentClock().TickMs() >= deadline) return STATUS_TIMEOUT;
        plat::CurrentClock().WaitUntil(lock, DispatcherChanged(), deadline);
    }
}

NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE, BOOLEAN, PLARGE_INTEGER interval) {
    kern::RequireIrqlAtMost(APC_LEVEL, "KeDelayExecutionThread");
    if (!interval) return STATUS_INVALID_PARAMETER;
    const std::uint64_t deadline = DeadlineTick(*interval);
    std::mutex mutex;
    std::condition_variable never_notified;
    std::unique_lock lock(mutex);
    while (plat::CurrentClock().TickMs() < deadline) plat::CurrentClock().WaitUntil(lock, never_notified, deadline);
    return STATUS_SUCCESS;
}

VOID KeQuerySystemTime(PLARGE_INTEGER current_time) {
    current_time->QuadPart = static_cast<LONGLONG>(plat::CurrentClock().NowFileTime());
}

ULONGLONG KeQueryInterruptTime() { return plat::CurrentClock().TickMs() * 10000; }

}  // extern "C"
