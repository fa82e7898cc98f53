// The routines the kernel exports to driver modules. A module's imports
// resolve against the hosting executable (linked with ENABLE_EXPORTS); this
// table makes sure every exported routine is linked into that executable even
// when the host itself never calls it.
#include "base/sync.h"
#include "kernel/kernel.h"

namespace kern {
namespace {

// Casting each address to a plain pointer keeps the table one type.
template <typename F>
const void* Address(F* routine) {
    return reinterpret_cast<const void*>(routine);
}

const void* const kExports[] = {
    Address(IoCreateDevice), Address(IoDeleteDevice), Address(IoCreateSymbolicLink),
    Address(IoDeleteSymbolicLink), Address(IoAttachDeviceToDeviceStack), Address(IoAttachDeviceToDeviceStackSafe),
    Address(IoDetachDevice), Address(IoGetAttachedDevice), Address(IoGetAttachedDeviceReference),
    Address(IoGetRelatedDeviceObject), Address(IoGetDeviceObjectPointer), Address(IofCallDriver),
    Address(IofCompleteRequest), Address(IoAllocateIrp), Address(IoInitializeIrp), Address(IoFreeIrp),
    Address(IoBuildDeviceIoControlRequest), Address(IoRegisterFsRegistrationChange),
    Address(IoUnregisterFsRegistrationChange), Address(IoRegisterFileSystem), Address(IoUnregisterFileSystem),
    Address(ObReferenceObjectByHandle), Address(ObReferenceObjectByPointer), Address(ObfReferenceObject),
    Address(ObfDereferenceObject), Address(ObQueryNameString), Address(ZwOpenSymbolicLinkObject),
    Address(ZwQuerySymbolicLinkObject), Address(ZwClose), Address(ExAllocatePoolWithTag), Address(ExAllocatePool),
    Address(ExFreePool), Address(ExFreePoolWithTag), Address(ExQueueWorkItem), Address(ExInitializeFastMutex),
    Address(ExAcquireFastMutex), Address(ExReleaseFastMutex), Address(ExTryToAcquireFastMutex),
    Address(KeGetCurrentIrql), Address(KeRaiseIrql), Address(KeLowerIrql), Address(KeInitializeSpinLock),
    Address(KeAcquireSpinLock), Address(KeReleaseSpinLock), Address(KeAcquireSpinLockAtDpcLevel),
    Address(KeReleaseSpinLockFromDpcLevel), Address(KeInitializeEvent), Address(KeSetEvent), Address(KeResetEvent),
    Address(KeClearEvent), Address(KeReadStateEvent), Address(KeWaitForSingleObject),
    Address(KeDelayExecutionThread), Address(KeQuerySystemTime), Address(KeQueryInterruptTime),
    Address(KeBugCheckEx), Address(PsGetVersion), Address(PsGetCurrentProcessId), Address(PsGetCurrentThreadId),
    Address(RtlInitUnicodeString), Address(RtlCopyUnicodeString), Address(RtlAppendUnicodeStringToString),
    Address(RtlAppendUnicodeToString), Address(RtlCompareUnicodeString), Address(RtlEqualUnicodeString),
    Address(RtlPrefixUnicodeString), Address(RtlUpcaseUnicodeChar), Address(RtlCompareMemory),
    Address(RtlUnicodeStringToInteger), Address(RtlIntegerToUnicodeString), Address(_wcsnicmp), Address(_wcsicmp),
    Address(_wcslen16), Address(DbgPrint), Address(InterlockedIncrement), Address(InterlockedDecrement),
    Address(InterlockedExchange), Address(InterlockedCompareExchange), Address(InterlockedExchangeAdd),
    &IoFileObjectType, &IoDeviceObjectType, &IoDriverObjectType, &ExEventObjectType,
};

}  // namespace

std::size_t ExportedRoutineCount() {
    std::size_t count = 0;
    for (const void* routine : kExports) count += routine != nullptr;
    return count;
}

}  // namespace kern
