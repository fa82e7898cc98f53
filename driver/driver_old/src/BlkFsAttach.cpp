// File-system filters: one above the control device of every active file
// system (the redirector included), made when the file system registers and
// removed when it unregisters, is loaded for real, is removed by Plug and
// Play or deletes its device. Also the file-system control routine that
// routes mounts, loads and dismounts, and the fast I/O detach.
#include "BlkRoutines.h"

namespace blinkor {
namespace {

constexpr ULONG kInheritedFlags = DO_BUFFERED_IO | DO_DIRECT_IO;

bool IsRecognizer(PDEVICE_OBJECT fs_device) {
    WCHAR buffer[64];
    UNICODE_STRING driver_name{0, sizeof buffer, buffer};
    QueryObjectName(fs_device->DriverObject, driver_name);
    UNICODE_STRING recognizer;
    RtlInitUnicodeString(&recognizer, u"\\FileSystem\\Fs_Rec");
    return RtlEqualUnicodeString(&driver_name, &recognizer, TRUE);
}

bool SkippedFileSystem(PDEVICE_OBJECT fs_device) {
    if (fs_device->DeviceType == FILE_DEVICE_DFS_FILE_SYSTEM) return true;
    if (g_blk.OsClass == 0 && fs_device->DeviceType == FILE_DEVICE_CHANGER) return true;
    return IsRecognizer(fs_device);
}

// Makes the filter device and its extension; null when that fails.
PDEVICE_OBJECT NewFsFilter(PDEVICE_OBJECT fs_device) {
    PDEVICE_OBJECT filter = nullptr;
    if (!NT_SUCCESS(IoCreateDevice(g_blk.Driver, sizeof(FsFilterExtension), nullptr, fs_device->DeviceType, 0, FALSE,
                                   &filter))) {
        return nullptr;
    }
    filter->Flags |= fs_device->Flags & kInheritedFlags;
    filter->Characteristics |= fs_device->Characteristics & FILE_DEVICE_SECURE_OPEN;
    auto* ext = Ext<FsFilterExtension>(filter);
    RtlZeroMemory(ext, sizeof *ext);
    ext->Self = filter;
    ext->Kind = kKindFsFilter;
    ext->Target = fs_device;
    ext->Name = {0, kFsNameBytes, ext->NameBuffer};
    if (fs_device->DeviceType == FILE_DEVICE_NETWORK_FILE_SYSTEM) {
        ext->Network = TRUE;
        KeInitializeSpinLock(&ext->LetterLock);
        const UNICODE_STRING no_name{0, 0, nullptr};
        ext->Letters[kSlotCount - 1] = NewLetterRecord(kCatchAllLetter, no_name);
        if (!ext->Letters[kSlotCount - 1]) {
            IoDeleteDevice(filter);
            return nullptr;
        }
    }
    QueryObjectName(fs_device, ext->Name);
    return filter;
}

void AttachFsFilter(PDEVICE_OBJECT fs_device) {
    if (SkippedFileSystem(fs_device)) return;
    PDEVICE_OBJECT filter = NewFsFilter(fs_device);
    if (!filter) return;
    auto* ext = Ext<FsFilterExtension>(filter);
    ListLockGuard list;
    InsertFsFilter(filter);
    ext->Lower = IoAttachDeviceToDeviceStack(filter, fs_device);
    if (!ext->Lower) {
        UnlinkFsFilter(filter);
        list.Release();
        FreeLetterRecords(*ext);
        IoDeleteDevice(filter);
        return;
    }
    list.Release();
    filter->Flags &= ~DO_DEVICE_INITIALIZING;
    SignalChange();
}

// Takes a file-system filter out of the list and deletes it. Its volume
// filters stay attached to their volumes (they leave through the fast I/O
// detach) but no longer point at it. Called with the list lock held; the
// lock is released here.
void RemoveFsFilter(PDEVICE_OBJECT filter, ListLockGuard& list) {
    auto* ext = Ext<FsFilterExtension>(filter);
    UnlinkFsFilter(filter);
    ForEachVolume(filter, [](PDEVICE_OBJECT volume) {
        auto* v = Ext<VolumeExtension>(volume);
        v->Owner = v->Previous = v->Next = nullptr;
    });
    ext->VolumeHead = nullptr;
    ext->VolumeCount = 0;
    list.Release();
    if (ext->Network) {
        SpinLockGuard letters(ext->LetterLock);
        FreeLetterRecords(*ext);
    }
    IoDetachDevice(ext->Lower);
    IoDeleteDevice(filter);
    SignalChange();
}

void DetachFsFilterOf(PDEVICE_OBJECT fs_device) {
    ListLockGuard list;
    PDEVICE_OBJECT found = nullptr;
    ForEachFsFilter([&](PDEVICE_OBJECT filter) {
        if (!found && Ext<FsFilterExtension>(filter)->Target == fs_device) found = filter;
    });
    if (found) RemoveFsFilter(found, list);
}

// Removes the filter and sends the request on to the device it was above.
NTSTATUS RemoveAndPassDown(PDEVICE_OBJECT filter, PIRP irp) {
    PDEVICE_OBJECT lower = Ext<FsFilterExtension>(filter)->Lower;
    {
        ListLockGuard list;
        RemoveFsFilter(filter, list);
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(lower, irp);
}

NTSTATUS SendDismount(PDEVICE_OBJECT volume, PIRP irp) {
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, CountedCompletion, reinterpret_cast<PVOID>(IoClass::Dismount), TRUE, FALSE, FALSE);
    return IoCallDriver(LowerOf(volume), irp);
}

}  // namespace

VOID FsNotification(PDEVICE_OBJECT fs_device, BOOLEAN active) {
    if (active) {
        AttachFsFilter(fs_device);
    } else {
        DetachFsFilterOf(fs_device);
    }
}

// Before 5.0 the redirector does not register as a file system: attach to it
// when the first client opens the control device.
void AttachRedirector() {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, u"\\Device\\LanmanRedirector");
    PFILE_OBJECT file = nullptr;
    PDEVICE_OBJECT device = nullptr;
    if (!NT_SUCCESS(IoGetDeviceObjectPointer(&name, FILE_READ_ATTRIBUTES, &file, &device))) return;
    AttachFsFilter(device);
    ObDereferenceObject(file);
    ControlExt()->RedirectorAttached = TRUE;
}

NTSTATUS DispatchFsControl(PDEVICE_OBJECT device, PIRP irp) {
    const ULONG kind = KindOf(device);
    if (kind == kKindControl) return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (kind == kKindFsFilter && stack->MinorFunction == IRP_MN_MOUNT_VOLUME) return MountVolume(device, irp);
    if (kind == kKindFsFilter && stack->MinorFunction == IRP_MN_LOAD_FILE_SYSTEM) return RemoveAndPassDown(device, irp);
    if (kind == kKindVolume && stack->MinorFunction == IRP_MN_USER_FS_REQUEST &&
        stack->Parameters.FileSystemControl.FsControlCode == FSCTL_DISMOUNT_VOLUME) {
        return SendDismount(device, irp);
    }
    return PassDown(device, irp);
}

NTSTATUS DispatchPnp(PDEVICE_OBJECT device, PIRP irp) {
    const ULONG kind = KindOf(device);
    if (kind == kKindControl) return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    if (kind == kKindFsFilter && IoGetCurrentIrpStackLocation(irp)->MinorFunction == IRP_MN_REMOVE_DEVICE) {
        return RemoveAndPassDown(device, irp);
    }
    return PassDown(device, irp);
}

// The device below one of our filters is going away: let go of it.
VOID FastIoDetachDevice(PDEVICE_OBJECT source, PDEVICE_OBJECT target) {
    const ULONG kind = KindOf(source);
    if (kind == kKindFsFilter && Ext<FsFilterExtension>(source)->Lower == target) {
        ListLockGuard list;
        RemoveFsFilter(source, list);
        return;
    }
    if (kind != kKindVolume || Ext<VolumeExtension>(source)->Lower != target) return;
    {
        ListLockGuard list;
        UnlinkVolume(source);
    }
    IoDetachDevice(target);
    IoDeleteDevice(source);
    SignalChange();
}

}  // namespace blinkor
