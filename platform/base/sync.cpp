#include "base/sync.h"

#include <linux/futex.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <vector>

#include "base/clock.h"
#include "base/last_error.h"
#include "base/win_errors.h"

namespace plat {
namespace {

void Unlist(std::vector<WaitBlock*>& list, WaitBlock* block) {
    const auto it = std::find(list.begin(), list.end(), block);
    if (it != list.end()) {
        *it = list.back();
        list.pop_back();
    }
}

// Wakes the thread sleeping on the word, if any.
void FutexWake(std::atomic<std::uint32_t>* word) {
    ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

// Sleeps while *word holds `value`, at most `ms` (kNoDeadline: no limit).
void FutexWait(std::atomic<std::uint32_t>* word, std::uint32_t value, std::uint64_t ms) {
    timespec slice{};
    timespec* timeout = nullptr;
    if (ms != Clock::kNoDeadline) {
        slice.tv_sec = static_cast<time_t>(ms / 1000);
        slice.tv_nsec = static_cast<long>(ms % 1000) * 1000000;
        timeout = &slice;
    }
    ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(word), FUTEX_WAIT_PRIVATE, value, timeout, nullptr, 0);
}

void DrainWakeFd(int fd) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
}

}  // namespace

// By it a waiter sleeping in poll() (or in its source) is woken.
const ThreadWake& ThisThreadWake() {
    static std::atomic<std::uint64_t> serials{0};
    struct Owned : ThreadWake {
        Owned() : ThreadWake{eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK), ++serials} {}
        ~Owned() {
            if (fd >= 0) ::close(fd);
        }
    };
    thread_local Owned wake;
    return wake;
}

Wakeups::~Wakeups() {
    for (int i = 0; i < m_count; ++i) FutexWake(m_words[i]);
}

void Wakeups::Wake(WaitBlock& block) {
    // A system call only for a waiter that sleeps.
    switch (block.state.exchange(WaitBlock::kWoken)) {
        case WaitBlock::kAsleep:
            if (m_count < kDeferred) m_words[m_count++] = &block.state;
            else FutexWake(&block.state);
            break;
        case WaitBlock::kPolling: {
            if (block.owner == std::this_thread::get_id()) break;  // awake, collecting
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(block.wakeFd, &one, sizeof one);
            break;
        }
        default: break;
    }
}

void WaitableObject::WakeWaitersLocked(Wakeups& wakeups) {
    for (WaitBlock* block : m_waiters) wakeups.Wake(*block);
}

void WaitableObject::RemoveWaiterLocked(WaitBlock* block) { Unlist(m_waiters, block); }

void Event::Set() {
    Wakeups wakeups;
    std::lock_guard lock(StateMutex());
    if (m_signaled) return;  // its waiters were woken when it was set
    m_signaled = true;
    WakeWaitersLocked(wakeups);
}

void Event::Reset() {
    std::lock_guard lock(StateMutex());
    m_signaled = false;
}

bool Event::IsSet() const {
    std::lock_guard lock(StateMutex());
    return m_signaled;
}

std::shared_ptr<WaitSource> Event::Source() const {
    std::lock_guard lock(StateMutex());
    return m_source;
}

void Event::AttachSource(std::shared_ptr<WaitSource> source) {
    Wakeups wakeups;
    std::lock_guard lock(StateMutex());
    m_source = std::move(source);
    WakeWaitersLocked(wakeups);  // so that they poll it from now on
}

bool IsSignaled(HANDLE object) {
    const auto o = LookupHandleAs<WaitableObject>(object);
    if (!o) return false;
    std::lock_guard lock(o->StateMutex());
    return o->IsSignaledLocked();
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

// The first object that is signalled, acquired, or -1. Each object is
// looked at under its own lock.
int AcquireAny(const Objects& objects) {
    for (std::size_t i = 0; i < objects.size(); ++i) {
        std::lock_guard lock(objects[i]->StateMutex());
        if (objects[i]->IsSignaledLocked()) {
            objects[i]->AcquireLocked();
            return static_cast<int>(i);
        }
    }
    return -1;
}

// 0 when every object is signalled, all then acquired together; else -1.
// The locks are taken in address order (each once), so two waits on the
// same objects never hold one each.
int AcquireAll(const Objects& objects) {
    std::vector<plat::WaitableObject*> order;
    for (const auto& o : objects) order.push_back(o.get());
    std::sort(order.begin(), order.end());
    order.erase(std::unique(order.begin(), order.end()), order.end());
    for (plat::WaitableObject* o : order) o->StateMutex().lock();
    const bool all = std::all_of(objects.begin(), objects.end(), [](const auto& o) { return o->IsSignaledLocked(); });
    if (all)
        for (const auto& o : objects) o->AcquireLocked();
    for (auto it = order.rbegin(); it != order.rend(); ++it) (*it)->StateMutex().unlock();
    return all ? 0 : -1;
}

int Acquire(const Objects& objects, bool wait_all) { return wait_all ? AcquireAll(objects) : AcquireAny(objects); }

Sources SourcesOf(const Objects& objects) {
    Sources sources;
    for (const auto& o : objects) {
        std::shared_ptr<plat::WaitSource> source;
        {
            std::lock_guard lock(o->StateMutex());
            source = o->SourceLocked();
        }
        if (source && std::find(sources.begin(), sources.end(), source) == sources.end())
            sources.push_back(std::move(source));
    }
    return sources;
}

// Sleeps on the block's futex word until an object wakes it, or for the
// slice of the way to the deadline that the clock allows; spurious returns
// are allowed. A wake-up is consumed here: the objects are checked next.
void SleepOnFutex(plat::WaitBlock& block, std::uint64_t deadline) {
    std::uint32_t idle = plat::WaitBlock::kIdle;
    if (block.state.compare_exchange_strong(idle, plat::WaitBlock::kAsleep))
        plat::FutexWait(&block.state, plat::WaitBlock::kAsleep, plat::CurrentClock().SleepSliceMs(deadline));
    block.state.store(plat::WaitBlock::kIdle);
}

// Sleeps in poll() on the thread's wake-up and the sources' descriptors, so
// that a source's readiness wakes this thread itself, not a thread between.
// A thread woken already only looks. What the sources report is collected
// before the objects are checked.
void SleepInPoll(plat::WaitBlock& block, const Sources& sources, std::vector<pollfd>& fds, std::uint64_t deadline) {
    std::uint64_t slice = plat::CurrentClock().SleepSliceMs(deadline);
    if (block.wakeFd < 0) slice = std::min(slice, kUnwakeableSliceMs);
    std::uint32_t idle = plat::WaitBlock::kIdle;
    if (!block.state.compare_exchange_strong(idle, plat::WaitBlock::kPolling)) slice = 0;
    const int timeout = plat::PollTimeoutMs(slice);
    // A single source sleeps the thread itself when it can: one system call
    // for the sleep and the collection.
    if (sources.size() == 1 && block.wakeFd >= 0 && sources[0]->SleepIn(plat::ThisThreadWake(), timeout)) {
        block.state.store(plat::WaitBlock::kIdle);
        return;
    }
    const int ready = ::poll(fds.data(), fds.size(), timeout);
    block.state.store(plat::WaitBlock::kIdle);
    if (ready <= 0) return;
    if (fds[0].revents) plat::DrainWakeFd(block.wakeFd);
    for (std::size_t i = 1; i < fds.size(); ++i)
        if (fds[i].revents) sources[i - 1]->Collect();
}

// The descriptors a sleep in poll() watches: the thread's wake-up first.
std::vector<pollfd> PollFds(plat::WaitBlock& block, const Sources& sources) {
    block.wakeFd = plat::ThisThreadWake().fd;
    std::vector<pollfd> fds{{block.wakeFd, POLLIN, 0}};
    for (const auto& source : sources) fds.push_back({source->PollFd(), POLLIN, 0});
    return fds;
}

// The block is registered with each object before the objects are
// checked, so a change after a check always finds it and wakes it. A wait
// whose objects had no source looks again after each wake-up: attaching a
// source wakes the object's waiters.
int SleepUntilSatisfied(const Objects& objects, Sources sources, bool wait_all, std::uint64_t deadline) {
    plat::WaitBlock block;
    std::vector<pollfd> fds;
    for (const auto& o : objects) {
        std::lock_guard lock(o->StateMutex());
        o->AddWaiterLocked(&block);
    }
    plat::Clock& clock = plat::CurrentClock();
    int index = -1;
    // Sleeps at least once, so that sources are polled even without a
    // time-out.
    for (bool slept = false;; slept = true) {
        index = Acquire(objects, wait_all);
        if (index >= 0 || (slept && clock.TickMs() >= deadline)) break;
        if (slept && sources.empty()) sources = SourcesOf(objects);
        if (!sources.empty() && fds.empty()) fds = PollFds(block, sources);
        if (sources.empty()) SleepOnFutex(block, deadline);
        else SleepInPoll(block, sources, fds, deadline);
    }
    for (const auto& o : objects) {
        std::lock_guard lock(o->StateMutex());
        o->RemoveWaiterLocked(&block);
    }
    return index;
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
    const int first = Acquire(objects, all);
    if (first >= 0) return WAIT_OBJECT_0 + static_cast<DWORD>(first);
    // Objects with sources are looked at even without a time-out: what
    // their descriptors report has not been collected yet.
    const Sources sources = SourcesOf(objects);
    if (timeout_ms == 0 && sources.empty()) return WAIT_TIMEOUT;
    const int index = SleepUntilSatisfied(objects, sources, all, deadline);
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
