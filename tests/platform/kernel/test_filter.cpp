// A tiny file-system filter, built as a driver module, that proves the host
// loads modules, routes requests through attached stacks and serves
// user-mode clients: it attaches to every file system and mounted volume,
// counts reads, passes everything else down, and has a control device with
// three codes (statistics, event registration, signal).
#include "test_filter.h"

namespace {

enum class Kind : ULONG { Control = 1, FileSystem, Volume };

struct Extension {
    Kind kind;
    PDEVICE_OBJECT lower;
};

PDRIVER_OBJECT g_driver;
PDEVICE_OBJECT g_control;
KSPIN_LOCK g_eventLock;
PKEVENT g_event;  // guarded by g_eventLock
LONG g_opens, g_fileSystems, g_volumes, g_reads;

Extension* Ext(PDEVICE_OBJECT device) { return static_cast<Extension*>(device->DeviceExtension); }

NTSTATUS CompleteWith(PIRP irp, NTSTATUS status, ULONG_PTR information = 0) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS PassDown(PDEVICE_OBJECT device, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(Ext(device)->lower, irp);
}

PDEVICE_OBJECT NewFilter(Kind kind, DEVICE_TYPE type) {
    PDEVICE_OBJECT device = nullptr;
    if (!NT_SUCCESS(IoCreateDevice(g_driver, sizeof(Extension), nullptr, type, 0, FALSE, &device))) return nullptr;
    Ext(device)->kind = kind;
    return device;
}

VOID DropEvent() {
    KIRQL irql;
    KeAcquireSpinLock(&g_eventLock, &irql);
    PKEVENT old = g_event;
    g_event = nullptr;
    KeReleaseSpinLock(&g_eventLock, irql);
    if (old) ObDereferenceObject(old);
}

// Shared by the packet and the fast I/O path; `irp` is null on the fast path,
// which cannot register an event (it needs the requester's mode).
BOOLEAN Control(ULONG code, PVOID input, ULONG input_length, PVOID output, ULONG output_length, PIO_STATUS_BLOCK iosb,
                PIRP irp) {
    iosb->Information = 0;
    if (code == TF_GET_STATS) {
        if (!output || output_length < sizeof(TestFilterStats)) return iosb->Status = STATUS_INVALID_PARAMETER, TRUE;
        TestFilterStats stats{ULONG(g_fileSystems), ULONG(g_volumes), ULONG(g_reads), ULONG(g_opens)};
        RtlCopyMemory(output, &stats, sizeof(stats));
        iosb->Information = sizeof(stats);
        return iosb->Status = STATUS_SUCCESS, TRUE;
    }
    if (code == TF_SIGNAL) {
        KIRQL irql;
        KeAcquireSpinLock(&g_eventLock, &irql);
        if (g_event) KeSetEvent(g_event, IO_NO_INCREMENT, FALSE);
        KeReleaseSpinLock(&g_eventLock, irql);
        return iosb->Status = STATUS_SUCCESS, TRUE;
    }
    if (code != TF_SET_EVENT) return iosb->Status = STATUS_INVALID_DEVICE_REQUEST, TRUE;
    if (!input || input_length < 4) return iosb->Status = STATUS_INVALID_PARAMETER, TRUE;
    ULONG handle;
    RtlCopyMemory(&handle, input, 4);
    if (handle == 0) {
        DropEvent();
        return iosb->Status = STATUS_SUCCESS, TRUE;
    }
    if (!irp) return FALSE;
    PVOID object = nullptr;
    iosb->Status = ObReferenceObjectByHandle(reinterpret_cast<HANDLE>(ULONG_PTR(handle)), EVENT_MODIFY_STATE,
                                             *ExEventObjectType, irp->RequestorMode, &object, nullptr);
    if (NT_SUCCESS(iosb->Status)) {
        DropEvent();
        KIRQL irql;
        KeAcquireSpinLock(&g_eventLock, &irql);
        g_event = static_cast<PKEVENT>(object);
        KeReleaseSpinLock(&g_eventLock, irql);
    }
    return TRUE;
}

NTSTATUS ControlDispatch(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    switch (location->MajorFunction) {
        case IRP_MJ_CREATE:
            InterlockedIncrement(&g_opens);
            return CompleteWith(irp, STATUS_SUCCESS, FILE_OPENED);
        case IRP_MJ_CLEANUP: return CompleteWith(irp, STATUS_SUCCESS);
        case IRP_MJ_CLOSE:
            if (InterlockedDecrement(&g_opens) == 0) DropEvent();
            return CompleteWith(irp, STATUS_SUCCESS);
        case IRP_MJ_DEVICE_CONTROL: {
            auto& p = location->Parameters.DeviceIoControl;
            PVOID buffer = irp->AssociatedIrp.SystemBuffer;
            Control(p.IoControlCode, buffer, p.InputBufferLength, buffer, p.OutputBufferLength, &irp->IoStatus, irp);
            const NTSTATUS status = irp->IoStatus.Status;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return status;
        }
        default: return CompleteWith(irp, STATUS_INVALID_DEVICE_REQUEST);
    }
}

NTSTATUS SignalMount(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// Holds the mount until the file system has answered, then attaches above
// the new volume and completes the mount again.
NTSTATUS Mount(PDEVICE_OBJECT device, PIRP irp) {
    PVPB vpb = IoGetCurrentIrpStackLocation(irp)->Parameters.MountVolume.Vpb;
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, SignalMount, &done, TRUE, TRUE, TRUE);
    IoCallDriver(Ext(device)->lower, irp);
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);  // signalled in every case
    const NTSTATUS status = irp->IoStatus.Status;
    if (NT_SUCCESS(status) && vpb->DeviceObject) {
        if (PDEVICE_OBJECT filter = NewFilter(Kind::Volume, device->DeviceType)) {
            Ext(filter)->lower = IoAttachDeviceToDeviceStack(filter, vpb->DeviceObject);
            if (Ext(filter)->lower) {
                InterlockedIncrement(&g_volumes);
                filter->Flags &= ~DO_DEVICE_INITIALIZING;
            } else {
                IoDeleteDevice(filter);
            }
        }
    }
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS Dispatch(PDEVICE_OBJECT device, PIRP irp) {
    Extension* ext = Ext(device);
    if (ext->kind == Kind::Control) return ControlDispatch(irp);
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    if (ext->kind == Kind::FileSystem && location->MajorFunction == IRP_MJ_FILE_SYSTEM_CONTROL &&
        location->MinorFunction == IRP_MN_MOUNT_VOLUME)
        return Mount(device, irp);
    if (ext->kind == Kind::Volume && location->MajorFunction == IRP_MJ_READ) InterlockedIncrement(&g_reads);
    return PassDown(device, irp);
}

VOID FsNotify(PDEVICE_OBJECT fs, BOOLEAN active) {
    if (!active) {
        for (PDEVICE_OBJECT d = g_driver->DeviceObject; d; d = d->NextDevice) {
            if (Ext(d)->kind != Kind::FileSystem || Ext(d)->lower != fs) continue;
            IoDetachDevice(fs);
            IoDeleteDevice(d);
            InterlockedDecrement(&g_fileSystems);
            return;
        }
        return;
    }
    PDEVICE_OBJECT filter = NewFilter(Kind::FileSystem, fs->DeviceType);
    if (!filter) return;
    Ext(filter)->lower = IoAttachDeviceToDeviceStack(filter, fs);
    if (!Ext(filter)->lower) {
        IoDeleteDevice(filter);
        return;
    }
    InterlockedIncrement(&g_fileSystems);
    filter->Flags &= ~DO_DEVICE_INITIALIZING;
}

BOOLEAN FastRead(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, BOOLEAN wait, ULONG key, PVOID buffer,
                 PIO_STATUS_BLOCK iosb, PDEVICE_OBJECT device) {
    if (Ext(device)->kind == Kind::Control) return FALSE;
    PDEVICE_OBJECT lower = Ext(device)->lower;
    PFAST_IO_DISPATCH table = lower->DriverObject->FastIoDispatch;
    if (!FAST_IO_ENTRY_PRESENT(table, FastIoRead)) return FALSE;
    return table->FastIoRead(file, offset, length, wait, key, buffer, iosb, lower);
}

BOOLEAN FastControl(PFILE_OBJECT, BOOLEAN, PVOID input, ULONG input_length, PVOID output, ULONG output_length,
                    ULONG code, PIO_STATUS_BLOCK iosb, PDEVICE_OBJECT device) {
    if (Ext(device)->kind != Kind::Control) return FALSE;
    return Control(code, input, input_length, output, output_length, iosb, nullptr);
}

VOID FastDetach(PDEVICE_OBJECT source, PDEVICE_OBJECT target) {
    if (Ext(source)->kind != Kind::Volume || Ext(source)->lower != target) return;
    IoDetachDevice(target);
    IoDeleteDevice(source);
    InterlockedDecrement(&g_volumes);
}

}  // namespace

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    g_driver = driver;
    g_event = nullptr;
    g_opens = g_fileSystems = g_volumes = g_reads = 0;
    KeInitializeSpinLock(&g_eventLock);
    UNICODE_STRING name, link;
    RtlInitUnicodeString(&name, u"\\FileSystem\\Filters\\TestFilter");
    NTSTATUS status = IoCreateDevice(driver, sizeof(Extension), &name, kTestFilterDeviceType, FILE_DEVICE_SECURE_OPEN,
                                     FALSE, &g_control);
    if (status == STATUS_OBJECT_PATH_NOT_FOUND) {
        RtlInitUnicodeString(&name, u"\\FileSystem\\TestFilterCDO");
        status = IoCreateDevice(driver, sizeof(Extension), &name, kTestFilterDeviceType, FILE_DEVICE_SECURE_OPEN, FALSE,
                                &g_control);
    }
    if (!NT_SUCCESS(status)) return status;
    Ext(g_control)->kind = Kind::Control;
    RtlInitUnicodeString(&link, u"\\DosDevices\\TestFilter");
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(g_control);
        return status;
    }
    for (auto& dispatch : driver->MajorFunction) dispatch = Dispatch;
    auto* fast_io = static_cast<PFAST_IO_DISPATCH>(ExAllocatePoolWithTag(NonPagedPool, sizeof(FAST_IO_DISPATCH), POOL_TAG("TFfi")));
    if (!fast_io) {
        IoDeleteSymbolicLink(&link);
        IoDeleteDevice(g_control);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    RtlZeroMemory(fast_io, sizeof(*fast_io));
    fast_io->SizeOfFastIoDispatch = sizeof(*fast_io);
    fast_io->FastIoRead = FastRead;
    fast_io->FastIoDeviceControl = FastControl;
    fast_io->FastIoDetachDevice = FastDetach;
    driver->FastIoDispatch = fast_io;
    g_control->Flags |= DO_BUFFERED_IO;
    status = IoRegisterFsRegistrationChange(driver, FsNotify);
    if (!NT_SUCCESS(status)) return status;
    g_control->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
