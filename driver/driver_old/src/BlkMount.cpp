// Mounting: a mount request that passes a file-system filter is held until
// the file system has mounted the volume; then a volume filter is attached
// above the new volume device (or, for a volume already filtered, the first
// filter is refreshed). The request is marked pending at once and completed
// by the work routine, which runs in a system worker thread when the
// completion comes at raised IRQL.
#include "BlkRoutines.h"

namespace blinkor {
namespace {

constexpr int kAttachAttempts = 8;
constexpr LONGLONG kAttachRetryMs = 500;

// The work item goes first, so that a mount is over, pool included, when
// its requester sees it complete.
void FinishMount(MountWorkItem* work) {
    PIRP irp = work->Irp;
    ExFreePool(work);
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

void TakeVolumeIdentity(VolumeExtension& volume, const VPB& vpb) {
    volume.SerialNumber = vpb.SerialNumber;
    CopyLabel(volume, vpb.VolumeLabel, vpb.VolumeLabelLength);
}

// The filter already above this volume device in the owner's list, if any.
PDEVICE_OBJECT FindFilterOf(PDEVICE_OBJECT owner, PDEVICE_OBJECT volume_device) {
    PDEVICE_OBJECT found = nullptr;
    ForEachVolume(owner, [&](PDEVICE_OBJECT v) {
        if (!found && Ext<VolumeExtension>(v)->VolumeDevice == volume_device) found = v;
    });
    return found;
}

bool AttachWithRetries(PDEVICE_OBJECT filter, PDEVICE_OBJECT volume_device) {
    auto* ext = Ext<VolumeExtension>(filter);
    for (int attempt = 0; attempt < kAttachAttempts; ++attempt) {
        if (attempt > 0) {
            LARGE_INTEGER interval;
            interval.QuadPart = RELATIVE_MILLISECONDS(kAttachRetryMs);
            KeDelayExecutionThread(KernelMode, FALSE, &interval);
        }
        ext->Lower = IoAttachDeviceToDeviceStack(filter, volume_device);
        if (ext->Lower) return true;
    }
    return false;
}

// Step two of a mount, at PASSIVE_LEVEL, once the file system has answered.
VOID MountWork(PVOID parameter) {
    auto* work = static_cast<MountWorkItem*>(parameter);
    PDEVICE_OBJECT filter = work->NewDevice;
    auto* ext = Ext<VolumeExtension>(filter);
    const PVPB vpb = ext->Storage->Vpb;
    if (!NT_SUCCESS(work->Irp->IoStatus.Status) || !vpb || !vpb->DeviceObject) {
        IoDeleteDevice(filter);
        FinishMount(work);
        return;
    }
    ext->VolumeDevice = vpb->DeviceObject;
    ResolveLetter(*ext);
    QueryDeviceNumbers(*ext);

    ListLockGuard list;
    if (PDEVICE_OBJECT first = FindFilterOf(work->FsFilter, ext->VolumeDevice)) {
        // A remount of a volume we still filter: refresh the first filter.
        auto* old = Ext<VolumeExtension>(first);
        if (old->Storage->Vpb) TakeVolumeIdentity(*old, *old->Storage->Vpb);
        old->Dismounted = FALSE;
        list.Release();
        IoDeleteDevice(filter);
        FinishMount(work);
        SignalChange();
        return;
    }
    TakeVolumeIdentity(*ext, *vpb);
    InsertVolume(work->FsFilter, filter);
    filter->Flags |= ext->VolumeDevice->Flags & (DO_BUFFERED_IO | DO_DIRECT_IO);
    filter->Characteristics |= ext->VolumeDevice->Characteristics & FILE_DEVICE_SECURE_OPEN;
    if (AttachWithRetries(filter, ext->VolumeDevice)) {
        filter->Flags &= ~DO_DEVICE_INITIALIZING;
        SignalChange();
        list.Release();
    } else {
        UnlinkVolume(filter);
        list.Release();
        IoDeleteDevice(filter);
    }
    FinishMount(work);
}

NTSTATUS MountCompletion(PDEVICE_OBJECT, PIRP, PVOID context) {
    auto* work = static_cast<MountWorkItem*>(context);
    if (KeGetCurrentIrql() > PASSIVE_LEVEL) {
        ExQueueWorkItem(&work->Item, DelayedWorkQueue);
    } else {
        MountWork(work);
    }
    // The work routine completes the request.
    return STATUS_MORE_PROCESSING_REQUIRED;
}

PDEVICE_OBJECT NewVolumeFilter(PDEVICE_OBJECT fs_filter, PDEVICE_OBJECT storage, NTSTATUS& status) {
    PDEVICE_OBJECT filter = nullptr;
    status = IoCreateDevice(g_blk.Driver, sizeof(VolumeExtension), nullptr, fs_filter->DeviceType, 0, FALSE, &filter);
    if (!NT_SUCCESS(status)) return nullptr;
    auto* ext = Ext<VolumeExtension>(filter);
    RtlZeroMemory(ext, sizeof *ext);
    ext->StorageName = {0, kStorageNameBytes, ext->StorageNameBuffer};
    ext->Label = {0, kLabelBytes, ext->LabelBuffer};
    ext->Self = filter;
    ext->Kind = kKindVolume;
    ext->Owner = fs_filter;
    ext->Storage = storage;
    QueryObjectName(storage, ext->StorageName);
    return filter;
}

}  // namespace

NTSTATUS MountVolume(PDEVICE_OBJECT fs_filter, PIRP irp) {
    PVPB vpb = IoGetCurrentIrpStackLocation(irp)->Parameters.MountVolume.Vpb;
    if (!vpb || !vpb->RealDevice) return PassDown(fs_filter, irp);  // nothing we could filter
    auto* work = static_cast<MountWorkItem*>(ExAllocatePoolWithTag(NonPagedPool, sizeof(MountWorkItem), kPoolTagRecord));
    if (!work) return CompleteRequest(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    NTSTATUS status = STATUS_SUCCESS;
    PDEVICE_OBJECT filter = NewVolumeFilter(fs_filter, vpb->RealDevice, status);
    if (!filter) {
        ExFreePool(work);
        return CompleteRequest(irp, status, 0);
    }
    ExInitializeWorkItem(&work->Item, MountWork, work);
    work->FsFilter = fs_filter;
    work->Irp = irp;
    work->NewDevice = filter;

    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, MountCompletion, work, TRUE, TRUE, TRUE);
    IoMarkIrpPending(irp);
    IoCallDriver(Ext<FsFilterExtension>(fs_filter)->Lower, irp);
    return STATUS_PENDING;
}

}  // namespace blinkor
