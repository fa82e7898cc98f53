#include "base/sync.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
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

// The calling thread's eventfd, by which a waiter sleeping in poll() is
// woken; -1 when none could be made.
int ThreadWakeFd() {
    struct WakeFd {
        const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        ~WakeFd() {
            if (fd >= 0) ::close(fd);
        }
    };
    thread_local WakeFd wake;
    return wake.fd;
}

void DrainWakeFd(int fd) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
}

}  // namespace

void WaitBlock::Wake() {
    if (wakeFd < 0) {
        cv.notify_one();
        return;
    }
    // The owner sets an object while it collects its own sources: it is
    // awake and checks its objects next, so it needs no wake-up (which would
    // only end its next sleep at once).
    if (owner == std::this_thread::get_id()) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
}

std::mutex& SyncMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

void WaitableObject::WakeWaitersLocked() {
    for (WaitBlock* block : m_waiters) block->Wake();
}

void WaitableObject::RemoveWaiterLocked(WaitBlock* block) { Unlist(m_waiters, block); }

void SignalChanged() {
    std::lock_guard lock(SyncMutex());
    for (WaitBlock* block : AllWaiters()) block->Wake();
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

std::shared_ptr<WaitSource> Event::Source() const {
    std::lock_guard lock(SyncMutex());
    return m_source;
}

void Event::AttachSource(std::shared_ptr<WaitSource> source) {
    std::lock_guard lock(SyncMutex());
    m_source = std::move(source);
}

}  // namespace plat

namespace {

std::shared_ptr<plat::Event> LookupEvent(HANDLE handle) {
    auto event = plat::LookupHandleAs<plat::Event>(handle);
    if (!event) SetLastError(ERROR_INVALID_HANDLE);
    return event;
}

using Objects = std::vector<std::shared_ptr<plat::WaitableObject>>;
using Sources = std::vector<std::shared_ptr<plat::WaitSource>>;

// A waiter without a wake-up descriptor looks at its objects this often.
constexpr std::uint64_t kUnwakeableSliceMs = 10;

// Index of the object that satisfies the wait, or -1. With wait_all every
// object must be signalled; all are then acquired together.
int SatisfiedIndex(const Objects& objects, bool wait_all) {
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

Sources SourcesLocked(const Objects& objects) {
    Sources sources;
    for (const auto& o : objects) {
        auto source = o->SourceLocked();
        if (source && std::find(sources.begin(), sources.end(), source) == sources.end())
            sources.push_back(std::move(source));
    }
    return sources;
}

// Sleeps on the block's condition variable until an object satisfies the
// wait (its index) or the deadline passes (-1).
int SleepOnCondition(std::unique_lock<std::mutex>& lock, plat::WaitBlock& block, const Objects& objects,
                     bool wait_all, std::uint64_t deadline) {
    plat::Clock& clock = plat::CurrentClock();
    for (;;) {
        if (deadline == plat::Clock::kNoDeadline) block.cv.wait(lock);
        else clock.WaitUntil(lock, block.cv, deadline);
        const int index = SatisfiedIndex(objects, wait_all);
        if (index >= 0 || clock.TickMs() >= deadline) return index;
    }
}

// Sleeps in poll() on the thread's wake-up and the sources' descriptors, so
// that a source's readiness wakes this thread itself, not a thread between.
// What the sources report is collected, then the objects are checked again.
int SleepInPoll(std::unique_lock<std::mutex>& lock, plat::WaitBlock& block, const Sources& sources,
                const Objects& objects, bool wait_all, std::uint64_t deadline) {
    plat::Clock& clock = plat::CurrentClock();
    std::vector<pollfd> fds{{block.wakeFd, POLLIN, 0}};
    for (const auto& source : sources) fds.push_back({source->PollFd(), POLLIN, 0});
    for (;;) {
        std::uint64_t slice = clock.SleepSliceMs(deadline);
        if (block.wakeFd < 0) slice = std::min(slice, kUnwakeableSliceMs);
        lock.unlock();
        if (::poll(fds.data(), fds.size(), plat::PollTimeoutMs(slice)) > 0) {
            if (fds[0].revents) plat::DrainWakeFd(block.wakeFd);
            for (std::size_t i = 1; i < fds.size(); ++i)
                if (fds[i].revents) sources[i - 1]->Collect();
        }
        lock.lock();
        const int index = SatisfiedIndex(objects, wait_all);
        if (index >= 0 || clock.TickMs() >= deadline) return index;
    }
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
    const std::uint64_t deadline = timeout_ms == INFINITE ? plat::Clock::kNoDeadline : clock.TickMs() + timeout_ms;
    const bool all = wait_all != FALSE;
    std::unique_lock lock(plat::SyncMutex());
    const int first = SatisfiedIndex(objects, all);
    if (first >= 0) return WAIT_OBJECT_0 + static_cast<DWORD>(first);
    // Objects with sources are looked at even without a time-out: what
    // their descriptors report has not been collected yet.
    const Sources sources = SourcesLocked(objects);
    if (timeout_ms == 0 && sources.empty()) return WAIT_TIMEOUT;
    // Registered with each object (the notifier holds the lock, so the block
    // is never woken after it has left the lists), and woken only by them.
    plat::WaitBlock block;
    if (!sources.empty()) block.wakeFd = plat::ThreadWakeFd();
    for (const auto& o : objects) o->AddWaiterLocked(&block);
    plat::AllWaiters().push_back(&block);
    const int index = sources.empty() ? SleepOnCondition(lock, block, objects, all, deadline)
                                      : SleepInPoll(lock, block, sources, objects, all, deadline);
    for (const auto& o : objects) o->RemoveWaiterLocked(&block);
    plat::Unlist(plat::AllWaiters(), &block);
    return index >= 0 ? WAIT_OBJECT_0 + static_cast<DWORD>(index) : WAIT_TIMEOUT;
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
