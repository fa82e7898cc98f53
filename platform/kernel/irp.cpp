// Request packets: allocation, sending down a stack, and completion, which
// walks back up the stack locations running completion routines by their
// invoke-on-success/error/cancel flags, carries the pending flag upwards, and
// stops when a routine answers STATUS_MORE_PROCESSING_REQUIRED (the routine's
// driver then owns the packet and completes it again later).
#include <algorithm>
#include <atomic>

#include "base/format.h"
#include "kernel/internal/device.h"
#include "kernel/kernel.h"

namespace kern {
namespace {

std::atomic<std::size_t> g_liveIrps{0};

PIO_STACK_LOCATION FirstLocation(PIRP irp) { return reinterpret_cast<PIO_STACK_LOCATION>(irp + 1); }

bool ShouldInvoke(PIRP irp, UCHAR control) {
    const NTSTATUS status = irp->IoStatus.Status;
    return (NT_SUCCESS(status) && (control & SL_INVOKE_ON_SUCCESS)) ||
           (!NT_SUCCESS(status) && (control & SL_INVOKE_ON_ERROR)) || (irp->Cancel && (control & SL_INVOKE_ON_CANCEL));
}

void ClearLocation(PIO_STACK_LOCATION location) {
    location->MinorFunction = 0;
    location->Flags = 0;
    location->Control = 0;
    location->Parameters = {};
    location->FileObject = nullptr;
    location->CompletionRoutine = nullptr;
    location->Context = nullptr;
}

// What the I/O manager does once no stack location is left: copy a buffered
// result back to the caller, fill its status block, set its event and free a
// packet it built itself.
void FinishIrp(PIRP irp) {
    const NTSTATUS status = irp->IoStatus.Status;
    if (irp->Flags & IRP_BUFFERED_IO) {
        // Never more than the caller's output length, whatever a driver reports.
        const auto length = std::min<ULONG_PTR>(irp->IoStatus.Information, ULONG_PTR(irp->Overlay.AllocationSize.QuadPart));
        if ((irp->Flags & IRP_INPUT_OPERATION) && !NT_ERROR(status) && irp->UserBuffer && length)
            std::memcpy(irp->UserBuffer, irp->AssociatedIrp.SystemBuffer, length);
        if (irp->Flags & IRP_DEALLOCATE_BUFFER) {
            delete[] static_cast<BYTE*>(irp->AssociatedIrp.SystemBuffer);
            irp->AssociatedIrp.SystemBuffer = nullptr;
        }
    }
    if (irp->UserIosb) *irp->UserIosb = irp->IoStatus;
    PKEVENT event = irp->UserEvent;
    const bool owned = irp->AllocationFlags & detail::kIrpOwnedByIoManager;
    if (owned) IoFreeIrp(irp);
    if (event) KeSetEvent(event, IO_NO_INCREMENT, FALSE);
}

}  // namespace

std::size_t LiveIrpCount() { return g_liveIrps.load(); }

}  // namespace kern

namespace kern::detail {

NTSTATUS InvalidDeviceRequest(PDEVICE_OBJECT, PIRP irp) {
    irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    irp->IoStatus.Information = 0;
    IofCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_INVALID_DEVICE_REQUEST;
}

}  // namespace kern::detail

extern "C" {

PIRP IoAllocateIrp(CCHAR stack_size, BOOLEAN) {
    kern::RequireIrqlAtMost(DISPATCH_LEVEL, "IoAllocateIrp");
    if (stack_size < 1) return nullptr;
    const USHORT size = static_cast<USHORT>(IoSizeOfIrp(stack_size));
    auto* irp = static_cast<PIRP>(::operator new(size, std::align_val_t(16)));
    kern::g_liveIrps.fetch_add(1);
    IoInitializeIrp(irp, size, stack_size);
    return irp;
}

VOID IoInitializeIrp(PIRP irp, USHORT packet_size, CCHAR stack_size) {
    std::memset(static_cast<void*>(irp), 0, packet_size);
    irp->Type = IO_TYPE_IRP;
    irp->Size = packet_size;
    irp->StackCount = stack_size;
    irp->CurrentLocation = static_cast<CCHAR>(stack_size + 1);
    irp->Tail.Overlay.CurrentStackLocation = kern::FirstLocation(irp) + stack_size;
}

VOID IoFreeIrp(PIRP irp) {
    if (!irp || irp->Type != IO_TYPE_IRP) kern::BugCheck(MULTIPLE_IRP_COMPLETE_REQUESTS, "IoFreeIrp: not a live request packet");
    irp->Type = 0;
    kern::g_liveIrps.fetch_sub(1);
    ::operator delete(irp, std::align_val_t(16));
}

NTSTATUS IofCallDriver(PDEVICE_OBJECT device, PIRP irp) {
    kern::RequireIrqlAtMost(DISPATCH_LEVEL, "IofCallDriver");
    irp->CurrentLocation--;
    if (irp->CurrentLocation <= 0)
        kern::BugCheck(NO_MORE_IRP_STACK_LOCATIONS,
                       plat::Format("NO_MORE_IRP_STACK_LOCATIONS: packet of %d locations sent further down",
                                    int(irp->StackCount)));
    irp->Tail.Overlay.CurrentStackLocation--;
    PIO_STACK_LOCATION location = irp->Tail.Overlay.CurrentStackLocation;
    location->DeviceObject = device;
    PDRIVER_DISPATCH dispatch = device->DriverObject->MajorFunction[location->MajorFunction];
    return (dispatch ? dispatch : kern::detail::InvalidDeviceRequest)(device, irp);
}

VOID IofCompleteRequest(PIRP irp, CCHAR) {
    kern::RequireIrqlAtMost(DISPATCH_LEVEL, "IofCompleteRequest");
    if (irp->Type != IO_TYPE_IRP || irp->CurrentLocation > irp->StackCount + 1)
        kern::BugCheck(MULTIPLE_IRP_COMPLETE_REQUESTS, "MULTIPLE_IRP_COMPLETE_REQUESTS: packet completed twice");
    if (irp->IoStatus.Status == STATUS_PENDING)
        kern::BugCheck(MULTIPLE_IRP_COMPLETE_REQUESTS, "IofCompleteRequest with STATUS_PENDING as the final status");
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    irp->CurrentLocation++;
    irp->Tail.Overlay.CurrentStackLocation++;
    for (; irp->CurrentLocation <= irp->StackCount + 1;
         ++location, irp->CurrentLocation++, irp->Tail.Overlay.CurrentStackLocation++) {
        irp->PendingReturned = (location->Control & SL_PENDING_RETURNED) != 0;
        if (location->CompletionRoutine && kern::ShouldInvoke(irp, location->Control)) {
            PIO_COMPLETION_ROUTINE routine = location->CompletionRoutine;
            PVOID context = location->Context;
            kern::ClearLocation(location);
            PDEVICE_OBJECT device = irp->CurrentLocation == irp->StackCount + 1
                                        ? nullptr
                                        : IoGetCurrentIrpStackLocation(irp)->DeviceObject;
            if (routine(device, irp, context) == STATUS_MORE_PROCESSING_REQUIRED) return;
        } else {
            if (irp->PendingReturned && irp->CurrentLocation <= irp->StackCount) IoMarkIrpPending(irp);
            kern::ClearLocation(location);
        }
    }
    kern::FinishIrp(irp);
}

PIRP IoBuildDeviceIoControlRequest(ULONG code, PDEVICE_OBJECT device, PVOID input, ULONG input_length, PVOID output,
                                   ULONG output_length, BOOLEAN internal, PKEVENT event, PIO_STATUS_BLOCK iosb) {
    kern::RequireIrqlAtMost(APC_LEVEL, "IoBuildDeviceIoControlRequest");
    PIRP irp = IoAllocateIrp(device->StackSize, FALSE);
    if (!irp) return nullptr;
    irp->AllocationFlags |= kern::detail::kIrpOwnedByIoManager;
    irp->RequestorMode = KernelMode;
    irp->UserIosb = iosb;
    irp->UserEvent = event;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = internal ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = code;
    next->Parameters.DeviceIoControl.InputBufferLength = input_length;
    next->Parameters.DeviceIoControl.OutputBufferLength = output_length;
    if (METHOD_FROM_CTL_CODE(code) == METHOD_NEITHER) {
        next->Parameters.DeviceIoControl.Type3InputBuffer = input;
        irp->UserBuffer = output;
        return irp;
    }
    // The other methods are carried as buffered: this kernel has no memory
    // descriptor lists, and the copy gives the same result to the caller.
    const ULONG length = std::max(input_length, output_length);
    if (length) {
        auto* buffer = new BYTE[length]();
        if (input && input_length) std::memcpy(buffer, input, input_length);
        irp->AssociatedIrp.SystemBuffer = buffer;
        irp->Flags = IRP_BUFFERED_IO | IRP_DEALLOCATE_BUFFER | (output_length ? IRP_INPUT_OPERATION : 0);
        irp->Overlay.AllocationSize.QuadPart = output_length;
    }
    irp->UserBuffer = output;
    return irp;
}

}  // extern "C"
