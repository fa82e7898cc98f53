// The two event slots of the control device: the change event (the drive
// list may have changed) and the activity event (a counter left or reached
// zero). Each slot holds a referenced event of the one registered client.
// The control spin lock guards both; it is the innermost lock of the driver.
#include "BlkRoutines.h"

namespace blinkor {

void SignalSlot(EventSlot slot) {
    auto* control = ControlExt();
    SpinLockGuard lock(control->ControlLock);
    if (PKEVENT event = control->*slot) KeSetEvent(event, IO_NO_INCREMENT, FALSE);
}

void ClearEvent(EventSlot slot) {
    auto* control = ControlExt();
    PKEVENT old = nullptr;
    {
        SpinLockGuard lock(control->ControlLock);
        old = control->*slot;
        control->*slot = nullptr;
    }
    if (old) ObDereferenceObject(old);
}

// Handle 0 clears the slot. A second registration while the slot is taken
// is refused and the first stays. A nonzero handle needs the requester's
// processor mode, so the fast I/O path answers STATUS_NOT_SUPPORTED and the
// I/O manager sends the request again as a packet.
NTSTATUS RegisterEvent(EventSlot slot, HANDLE handle, PIRP irp) {
    if (!handle) {
        ClearEvent(slot);
        return STATUS_SUCCESS;
    }
    auto* control = ControlExt();
    {
        SpinLockGuard lock(control->ControlLock);
        if (control->*slot) return STATUS_ALREADY_COMMITTED;
    }
    if (!irp) return STATUS_NOT_SUPPORTED;

    PVOID object = nullptr;
    const NTSTATUS status =
        ObReferenceObjectByHandle(handle, EVENT_MODIFY_STATE, *ExEventObjectType, irp->RequestorMode, &object, nullptr);
    if (!NT_SUCCESS(status)) return status;
    {
        // Another registration may have won the race while we referenced.
        SpinLockGuard lock(control->ControlLock);
        if (!(control->*slot)) {
            control->*slot = static_cast<PKEVENT>(object);
            return status;
        }
    }
    ObDereferenceObject(object);
    return STATUS_ALREADY_COMMITTED;
}

}  // namespace blinkor
