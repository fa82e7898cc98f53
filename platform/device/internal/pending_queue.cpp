#include "device/internal/pending_queue.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "base/clock.h"
#include "base/sync.h"
#include "device/internal/file_object.h"

namespace plat::device::detail {
namespace {

void Complete(PendingRequest& r) {
    if (r.out && !r.output.empty()) std::memcpy(r.out, r.output.data(), r.output.size());
    r.io_status->Information = r.information;
    r.io_status->Status = r.status;
    // The event first: a thread that the file wakes finds it set.
    if (r.event) SetEvent(r.event);
    r.file->FinishPending();
}

// Lock order: m_mutex, then the file's and the event's state locks (taken
// inside Complete).
class Completer {
public:
    Completer() {
        std::thread([this] { Run(); }).detach();
    }

    void Add(PendingRequest request) {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(request));
        }
        m_cv.notify_all();
    }

    void CompleteAllOf(const FileObject* file) {
        std::lock_guard lock(m_mutex);
        auto keep = std::stable_partition(m_queue.begin(), m_queue.end(),
                                          [&](const PendingRequest& r) { return r.file.get() != file; });
        for (auto it = keep; it != m_queue.end(); ++it) Complete(*it);
        m_queue.erase(keep, m_queue.end());
    }

private:
    // Completes due requests in the order they were queued; waits on the
    // platform clock for the earliest one that is not due yet.
    void Run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_queue.empty()) {
                m_cv.wait(lock);
                continue;
            }
            const std::uint64_t now = CurrentClock().TickMs();
            auto due = std::find_if(m_queue.begin(), m_queue.end(),
                                    [&](const PendingRequest& r) { return r.due_tick <= now; });
            if (due != m_queue.end()) {
                PendingRequest request = std::move(*due);
                m_queue.erase(due);
                Complete(request);
                continue;
            }
            const auto earliest = std::min_element(
                m_queue.begin(), m_queue.end(), [](const auto& a, const auto& b) { return a.due_tick < b.due_tick; });
            CurrentClock().WaitUntil(lock, m_cv, earliest->due_tick);
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<PendingRequest> m_queue;
};

// Never destroyed: its detached thread may still wait when the process ends.
Completer& TheCompleter() {
    static auto* completer = new Completer;
    return *completer;
}

}  // namespace

void QueuePending(PendingRequest request) { TheCompleter().Add(std::move(request)); }

void CompletePendingOf(const FileObject* file) { TheCompleter().CompleteAllOf(file); }

}  // namespace plat::device::detail
