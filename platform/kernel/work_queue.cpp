// System work queues: one worker thread per queue type runs queued items in
// order at PASSIVE_LEVEL, outside any client process.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "kernel/kernel.h"

namespace kern {
namespace {

struct WorkQueue {
    std::deque<PWORK_QUEUE_ITEM> items;  // guarded by Queues::lock
    bool running_item = false;
    bool started = false;
};

struct Queues {
    std::mutex lock;
    std::condition_variable changed;
    WorkQueue queues[3];
};

Queues& TheQueues() {
    static auto* queues = new Queues;
    return *queues;
}

void WorkerLoop(WorkQueue* queue) {
    auto& all = TheQueues();
    std::unique_lock lock(all.lock);
    for (;;) {
        all.changed.wait(lock, [&] { return !queue->items.empty(); });
        PWORK_QUEUE_ITEM item = queue->items.front();
        queue->items.pop_front();
        queue->running_item = true;
        lock.unlock();
        item->WorkerRoutine(item->Parameter);  // the routine may free the item
        if (KeGetCurrentIrql() != PASSIVE_LEVEL)
            BugCheck(IRQL_UNEXPECTED_VALUE, "IRQL_UNEXPECTED_VALUE: a work item returned above PASSIVE_LEVEL");
        lock.lock();
        queue->running_item = false;
        all.changed.notify_all();
    }
}

}  // namespace

void DrainWorkQueues() {
    auto& all = TheQueues();
    std::unique_lock lock(all.lock);
    all.changed.wait(lock, [&] {
        for (const auto& queue : all.queues)
            if (!queue.items.empty() || queue.running_item) return false;
        return true;
    });
}

}  // namespace kern

extern "C" VOID ExQueueWorkItem(PWORK_QUEUE_ITEM item, WORK_QUEUE_TYPE type) {
    kern::RequireIrqlAtMost(DISPATCH_LEVEL, "ExQueueWorkItem");
    auto& all = kern::TheQueues();
    const int index = (type >= CriticalWorkQueue && type <= HyperCriticalWorkQueue) ? type : DelayedWorkQueue;
    std::lock_guard lock(all.lock);
    kern::WorkQueue& queue = all.queues[index];
    if (!queue.started) {
        std::thread(kern::WorkerLoop, &queue).detach();
        queue.started = true;
    }
    queue.items.push_back(item);
    all.changed.notify_all();
}
