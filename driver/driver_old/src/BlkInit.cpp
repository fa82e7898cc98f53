// Driver entry: the global state, the control device and its link, the
// dispatch and fast I/O tables, and the file-system registration watch.
// There is no unload routine: once loaded the driver stays.
#include "BlkRoutines.h"

namespace blinkor {

Globals g_blk;

namespace {

// 0 for NT 4 and older, 1 for 5.0, 2 for 5.1, 3 for 5.2 and later.
int OsClassFromVersion(ULONG major, ULONG minor) {
    if (major <= 4) return 0;
    if (major == 5 && minor == 0) return 1;
    if (major == 5 && minor == 1) return 2;
    return 3;
}

NTSTATUS CreateControlDevice(PDRIVER_OBJECT driver, UNICODE_STRING& name, PDEVICE_OBJECT* device) {
    RtlInitUnicodeString(&name, kControlDeviceName);
    NTSTATUS status = IoCreateDevice(driver, sizeof(ControlExtension), &name, kControlDeviceType,
                                     FILE_DEVICE_SECURE_OPEN, FALSE, device);
    if (status == STATUS_OBJECT_PATH_NOT_FOUND) {
        // No "\FileSystem\Filters" directory on this system.
        RtlInitUnicodeString(&name, kControlDeviceFallbackName);
        status = IoCreateDevice(driver, sizeof(ControlExtension), &name, kControlDeviceType,
                                FILE_DEVICE_SECURE_OPEN, FALSE, device);
    }
    return status;
}

struct MajorRoutine {
    UCHAR major;
    PDRIVER_DISPATCH routine;
};
constexpr MajorRoutine kRoutines[] = {
    {IRP_MJ_CREATE, DispatchCreate},
    {IRP_MJ_CLOSE, DispatchClose},
    {IRP_MJ_CLEANUP, DispatchCleanup},
    {IRP_MJ_DEVICE_CONTROL, DispatchDeviceControl},
    {IRP_MJ_FILE_SYSTEM_CONTROL, DispatchFsControl},
    {IRP_MJ_PNP, DispatchPnp},
    {IRP_MJ_READ, DispatchRead},
    {IRP_MJ_QUERY_INFORMATION, DispatchRead},
    {IRP_MJ_QUERY_EA, DispatchRead},
    {IRP_MJ_QUERY_VOLUME_INFORMATION, DispatchRead},
    {IRP_MJ_QUERY_SECURITY, DispatchRead},
    {IRP_MJ_WRITE, DispatchWrite},
    {IRP_MJ_SET_INFORMATION, DispatchWrite},
    {IRP_MJ_SET_EA, DispatchWrite},
    {IRP_MJ_FLUSH_BUFFERS, DispatchWrite},
    {IRP_MJ_SET_VOLUME_INFORMATION, DispatchWrite},
    {IRP_MJ_SET_SECURITY, DispatchWrite},
};

void FillDispatchTable(PDRIVER_OBJECT driver) {
    for (auto& entry : driver->MajorFunction) entry = DispatchPassThrough;
    for (const auto& r : kRoutines) driver->MajorFunction[r.major] = r.routine;
}

void InitControlExtension(PDEVICE_OBJECT control) {
    auto* ext = Ext<ControlExtension>(control);
    RtlZeroMemory(ext, sizeof *ext);
    ext->Self = control;
    ext->Kind = kKindControl;
    KeInitializeSpinLock(&ext->ControlLock);
}

}  // namespace
}  // namespace blinkor

using namespace blinkor;

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING /*registry_path*/) {
    g_blk = Globals{};
    ExInitializeFastMutex(&g_blk.ListLock);
    g_blk.Driver = driver;
    ULONG major = 0, minor = 0;
    PsGetVersion(&major, &minor, nullptr, nullptr);
    g_blk.OsClass = OsClassFromVersion(major, minor);

    UNICODE_STRING device_name{};
    PDEVICE_OBJECT control = nullptr;
    NTSTATUS status = CreateControlDevice(driver, device_name, &control);
    if (!NT_SUCCESS(status)) return status;

    UNICODE_STRING link_name{};
    RtlInitUnicodeString(&link_name, kControlLinkName);
    status = IoCreateSymbolicLink(&link_name, &device_name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(control);
        return status;
    }
    g_blk.Control = control;
    FillDispatchTable(driver);

    auto* fast_io = static_cast<PFAST_IO_DISPATCH>(
        ExAllocatePoolWithTag(NonPagedPool, sizeof(FAST_IO_DISPATCH), kPoolTagFastIo));
    if (!fast_io) {
        IoDeleteSymbolicLink(&link_name);
        IoDeleteDevice(control);
        g_blk.Control = nullptr;
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    RtlZeroMemory(fast_io, sizeof *fast_io);
    FillFastIoTable(*fast_io);
    driver->FastIoDispatch = fast_io;
    g_blk.FastIo = fast_io;

    control->Flags |= DO_BUFFERED_IO;
    InitControlExtension(control);

    // The system calls the routine at once for every file system already
    // active, so the driver attaches to them here.
    status = IoRegisterFsRegistrationChange(driver, FsNotification);
    if (!NT_SUCCESS(status)) {
        IoDeleteSymbolicLink(&link_name);
        IoDeleteDevice(control);
        driver->FastIoDispatch = nullptr;
        ExFreePool(fast_io);
        g_blk = Globals{};
        return status;
    }
    control->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
