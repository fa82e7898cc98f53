// IRQL rules, locks, events and time, pool accounting, work items and the
// run-time helpers.
#include <atomic>
#include <thread>

#include "base/clock.h"
#include "kernel_test_support.h"

namespace {

using ExecutiveTest = ktest::KernelTest;

ULONG BugCheckCode(const std::function<void()>& body) {
    try {
        body();
    } catch (const kern::BugCheckError& e) {
        return e.code;
    }
    return 0;
}

TEST_F(ExecutiveTest, SpinLocksRaiseToDispatchAndForbidPassiveOnlyCalls) {
    KSPIN_LOCK lock;
    KeInitializeSpinLock(&lock);
    KIRQL old_irql;
    KeAcquireSpinLock(&lock, &old_irql);
    EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL);
    EXPECT_EQ(BugCheckCode([] {
                  PDEVICE_OBJECT device;
                  IoCreateDevice(nullptr, 0, nullptr, 0, 0, FALSE, &device);
              }),
              IRQL_NOT_LESS_OR_EQUAL);
    EXPECT_EQ(BugCheckCode([] { ExAllocatePoolWithTag(PagedPool, 8, POOL_TAG("Test")); }), IRQL_NOT_LESS_OR_EQUAL);
    EXPECT_EQ(BugCheckCode([&] { KeAcquireSpinLockAtDpcLevel(&lock); }), SPIN_LOCK_ALREADY_OWNED);
    PVOID nonpaged = ExAllocatePoolWithTag(NonPagedPool, 8, POOL_TAG("Test"));  // allowed at DISPATCH_LEVEL
    EXPECT_NE(nonpaged, nullptr);
    ExFreePool(nonpaged);
    KeReleaseSpinLock(&lock, old_irql);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    EXPECT_EQ(BugCheckCode([&] { KeReleaseSpinLock(&lock, PASSIVE_LEVEL); }), SPIN_LOCK_NOT_OWNED);
}

TEST_F(ExecutiveTest, FastMutexesRaiseToApcAndAreNotRecursive) {
    FAST_MUTEX mutex;
    ExInitializeFastMutex(&mutex);
    ExAcquireFastMutex(&mutex);
    EXPECT_EQ(KeGetCurrentIrql(), APC_LEVEL);
    LARGE_INTEGER none{};
    EXPECT_EQ(KeDelayExecutionThread(KernelMode, FALSE, &none), STATUS_SUCCESS) << "delays are allowed at APC_LEVEL";
    EXPECT_NE(BugCheckCode([&] { ExAcquireFastMutex(&mutex); }), 0u);
    BOOLEAN tried = TRUE;
    std::thread([&] { tried = ExTryToAcquireFastMutex(&mutex); }).join();
    EXPECT_FALSE(tried);
    std::atomic<bool> other_got_it{false};
    std::thread waiter([&] {
        ExAcquireFastMutex(&mutex);  // sleeps until the release below
        other_got_it = true;
        ExReleaseFastMutex(&mutex);
    });
    ExReleaseFastMutex(&mutex);
    waiter.join();
    EXPECT_TRUE(other_got_it.load());
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    KIRQL old_irql;
    KeRaiseIrql(DISPATCH_LEVEL, &old_irql);
    EXPECT_EQ(BugCheckCode([&] { ExAcquireFastMutex(&mutex); }), IRQL_NOT_LESS_OR_EQUAL);
    KeLowerIrql(old_irql);
}

TEST_F(ExecutiveTest, TimedWaitsAndDelaysFollowTheProcessClock) {
    plat::ScopedManualClock clock;
    KEVENT event;
    KeInitializeEvent(&event, SynchronizationEvent, FALSE);
    LARGE_INTEGER zero{};
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &zero), STATUS_TIMEOUT);
    std::atomic<NTSTATUS> waited{STATUS_PENDING};
    // Absolute times keep the deadlines independent of when the threads start.
    const LONGLONG start = LONGLONG(clock->NowFileTime());
    std::thread waiter([&] {
        LARGE_INTEGER timeout;
        timeout.QuadPart = start + 500 * 10000;
        waited = KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout);
    });
    clock->Advance(499);
    EXPECT_EQ(waited.load(), STATUS_PENDING);
    clock->Advance(1);
    waiter.join();
    EXPECT_EQ(waited.load(), STATUS_TIMEOUT);

    KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(KeReadStateEvent(&event), 0) << "a synchronization event resets when a wait takes it";

    std::atomic<bool> slept{false};
    std::thread sleeper([&] {
        LARGE_INTEGER delay;
        delay.QuadPart = start + 1000 * 10000;
        KeDelayExecutionThread(KernelMode, FALSE, &delay);
        slept = true;
    });
    clock->Advance(250);
    EXPECT_FALSE(slept.load());
    clock->Advance(250);
    sleeper.join();
    EXPECT_TRUE(slept.load());
}

TEST_F(ExecutiveTest, PoolIsAccountedPerTagAndBadFreesStopTheMachine) {
    PVOID a = ExAllocatePoolWithTag(NonPagedPool, 24, POOL_TAG("LMvn"));
    PVOID b = ExAllocatePoolWithTag(NonPagedPool, 28, POOL_TAG("LMvn"));
    PVOID c = ExAllocatePoolWithTag(PagedPool, 112, POOL_TAG("LMon"));
    EXPECT_EQ(kern::PoolLeakReport(),
              "pool leak: tag 'LMon' 1 blocks, 112 bytes\npool leak: tag 'LMvn' 2 blocks, 52 bytes\n");
    EXPECT_EQ(BugCheckCode([&] { ExFreePoolWithTag(c, POOL_TAG("LMvn")); }), BAD_POOL_CALLER);
    ExFreePool(a);
    ExFreePool(b);
    ExFreePoolWithTag(c, POOL_TAG("LMon"));
    EXPECT_EQ(kern::PoolLeakReport(), "");
    EXPECT_EQ(BugCheckCode([&] { ExFreePool(a); }), BAD_POOL_CALLER) << "double free";

    kern::InjectPoolFailures(POOL_TAG("LMvn"), 1);
    EXPECT_NE(ExAllocatePoolWithTag(NonPagedPool, 8, POOL_TAG("LMon")), nullptr) << "other tags unaffected";
    EXPECT_EQ(ExAllocatePoolWithTag(NonPagedPool, 8, POOL_TAG("LMvn")), nullptr);
    PVOID d = ExAllocatePoolWithTag(NonPagedPool, 8, POOL_TAG("LMvn"));
    EXPECT_NE(d, nullptr);
    ExFreePool(d);
}

std::atomic<int> g_workIrql{-1};

VOID RecordWork(PVOID parameter) {
    g_workIrql = KeGetCurrentIrql();
    KeSetEvent(static_cast<PKEVENT>(parameter), IO_NO_INCREMENT, FALSE);
}

TEST_F(ExecutiveTest, WorkItemsQueuedAtDispatchRunAtPassiveOnAWorkerThread) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    WORK_QUEUE_ITEM item;
    ExInitializeWorkItem(&item, RecordWork, &done);
    KIRQL old_irql;
    KeRaiseIrql(DISPATCH_LEVEL, &old_irql);
    ExQueueWorkItem(&item, DelayedWorkQueue);
    KeLowerIrql(old_irql);
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    EXPECT_EQ(g_workIrql.load(), PASSIVE_LEVEL);
}

TEST_F(ExecutiveTest, VersionComesFromTheMachineSettings) {
    kern::ResetKernel({4, 0, 1381, true});
    ULONG major = 0, minor = 9, build = 0;
    EXPECT_FALSE(PsGetVersion(&major, &minor, &build, nullptr));
    EXPECT_EQ(major, 4u);
    EXPECT_EQ(minor, 0u);
    EXPECT_EQ(build, 1381u);
}

TEST_F(ExecutiveTest, StringToIntegerReadsTheDigitsOfTheBase) {
    struct Case {
        const char16_t* text;
        ULONG base;
        ULONG value;
    };
    const Case cases[] = {{u"12", 10, 12}, {u"3\\Partition", 10, 3}, {u"", 10, 0},       {u"  -7", 10, ULONG(-7)},
                          {u"0x1F", 0, 31}, {u"ff", 16, 255},        {u"12ab", 10, 12}, {u"4294967295", 10, 0xFFFFFFFF}};
    for (const Case& c : cases) {
        UNICODE_STRING s;
        RtlInitUnicodeString(&s, c.text);
        ULONG value = 0xDEAD;
        EXPECT_EQ(RtlUnicodeStringToInteger(&s, c.base, &value), STATUS_SUCCESS);
        EXPECT_EQ(value, c.value) << std::string(c.text, c.text + _wcslen16(c.text));
    }
    UNICODE_STRING s = Us(u"1");
    ULONG value;
    EXPECT_EQ(RtlUnicodeStringToInteger(&s, 7, &value), STATUS_INVALID_PARAMETER);
}

TEST_F(ExecutiveTest, IntegerToStringRespectsTheBufferAndTerminatesWhenThereIsRoom) {
    WCHAR buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), WCHAR(0xCCCC));
    UNICODE_STRING s{0, 6, buffer};  // three characters
    EXPECT_EQ(RtlIntegerToUnicodeString(255, 10, &s), STATUS_SUCCESS);
    EXPECT_EQ(kern::ToU16(&s), u"255");
    EXPECT_EQ(buffer[3], 0xCCCC) << "no terminator without room for it";
    EXPECT_EQ(RtlIntegerToUnicodeString(1000, 10, &s), STATUS_BUFFER_OVERFLOW);
    s.MaximumLength = sizeof(buffer);
    EXPECT_EQ(RtlIntegerToUnicodeString(0, 10, &s), STATUS_SUCCESS);
    EXPECT_EQ(kern::ToU16(&s), u"0");
    EXPECT_EQ(buffer[1], 0);
}

TEST_F(ExecutiveTest, ComparisonsFoldAsciiCaseOnlyWhenAsked) {
    UNICODE_STRING a = Us(u"\\FileSystem\\Fs_Rec"), b = Us(u"\\FILESYSTEM\\FS_REC"), c = Us(u"\\FileSystem\\Fs_Re");
    EXPECT_EQ(RtlCompareUnicodeString(&a, &b, TRUE), 0);
    EXPECT_NE(RtlCompareUnicodeString(&a, &b, FALSE), 0);
    EXPECT_GT(RtlCompareUnicodeString(&a, &c, TRUE), 0);
    EXPECT_EQ(_wcsnicmp(u"\\Device\\HarddiskDm1", u"\\DEVICE\\HARDDISKDM", 18), 0);
    EXPECT_NE(_wcsnicmp(u"\\Device\\Harddisk1", u"\\DEVICE\\HARDDISKDM", 18), 0);
    const char x[] = "\\;Z:share", y[] = "\\;Z:shark";
    EXPECT_EQ(RtlCompareMemory(x, y, 9), 8u);
    EXPECT_EQ(RtlCompareMemory(x, x, 9), 9u);
}

}  // namespace
