// Request routing by the kind tag of the target device, and the control
// device's create, close, cleanup and device-control routines. A filter
// device passes what needs no work straight to its lower device; the
// control device refuses everything but its four routines.
#include "BlkRoutines.h"

namespace blinkor {

NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS PassDown(PDEVICE_OBJECT filter, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(LowerOf(filter), irp);
}

NTSTATUS DispatchPassThrough(PDEVICE_OBJECT device, PIRP irp) {
    if (KindOf(device) == kKindControl) return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    return PassDown(device, irp);
}

NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
    if (KindOf(device) != kKindControl) {
        if (IsNetworkFilter(device)) RecordNetworkCreate(device, irp);
        return PassDown(device, irp);
    }
    auto* control = ControlExt();
    if (InterlockedIncrement(&control->OpenCount) != 1) return CompleteRequest(irp, STATUS_SUCCESS, 0);
    if (g_blk.OsClass == 0 && !control->RedirectorAttached) AttachRedirector();
    control->FirstOpen = IoGetCurrentIrpStackLocation(irp)->FileObject;
    return CompleteRequest(irp, STATUS_SUCCESS, FILE_OPENED);
}

NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp) {
    if (KindOf(device) != kKindControl) return PassDown(device, irp);
    auto* control = ControlExt();
    if (InterlockedDecrement(&control->OpenCount) == 0) {
        // The last client is gone: nobody is left to wait on its events.
        control->FirstOpen = nullptr;
        ClearEvent(kChangeSlot);
        ClearEvent(kActivitySlot);
    }
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}

NTSTATUS DispatchCleanup(PDEVICE_OBJECT device, PIRP irp) {
    if (KindOf(device) != kKindControl) return PassDown(device, irp);
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
}

NTSTATUS DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
    if (KindOf(device) != kKindControl) return PassDown(device, irp);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ControlArgs args{irp->AssociatedIrp.SystemBuffer,
                           stack->Parameters.DeviceIoControl.InputBufferLength,
                           irp->AssociatedIrp.SystemBuffer,
                           stack->Parameters.DeviceIoControl.OutputBufferLength,
                           stack->Parameters.DeviceIoControl.IoControlCode,
                           &irp->IoStatus,
                           irp};
    const NTSTATUS status = ControlRequest(args);
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

}  // namespace blinkor
