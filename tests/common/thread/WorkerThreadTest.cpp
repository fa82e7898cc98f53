#include "thread/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>

#include "base/handle.h"
#include "base/last_error.h"
#include "base/sync.h"
#include "base/thread.h"

namespace {

struct Probe {
    std::atomic<DWORD> threadId{0};
    HANDLE release = nullptr;
    std::atomic<bool> done{false};
};

DWORD RecordAndWait(LPVOID arg) {
    auto* probe = static_cast<Probe*>(arg);
    probe->threadId = GetCurrentThreadId();
    if (probe->release) WaitForSingleObject(probe->release, INFINITE);
    probe->done = true;
    return 0;
}

TEST(WorkerThread, StartReturnsWithTheThreadRunningAndItsIdKnown) {
    const std::size_t handles = plat::OpenHandleCount();
    Probe probe;
    probe.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        WorkerThread worker;
        ASSERT_TRUE(worker.Start(RecordAndWait, &probe, "Msg"));
        EXPECT_NE(worker.ThreadId(), 0u);
        EXPECT_NE(worker.ThreadId(), GetCurrentThreadId());
        EXPECT_FALSE(probe.done);
        SetEvent(probe.release);
        SetLastError(1234);
        worker.Join();
        EXPECT_EQ(GetLastError(), 1234u);
        EXPECT_TRUE(probe.done);
        EXPECT_EQ(probe.threadId, worker.ThreadId());
    }
    CloseHandle(probe.release);
    EXPECT_EQ(plat::OpenHandleCount(), handles);
}

}  // namespace
