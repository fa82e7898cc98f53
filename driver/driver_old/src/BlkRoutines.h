// The driver's routines as its files call each other. Grouped by the file
// that defines them; everything here runs inside the driver module.
#pragma once

#include <type_traits>

#include "BlkTypes.h"
#include "blinkor/LedIoctl.h"

namespace blinkor {

// BlkDispatch.cpp: routing by kind tag and the control device's routines.
NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information);
NTSTATUS PassDown(PDEVICE_OBJECT filter, PIRP irp);  // skip our location, call the lower device
NTSTATUS DispatchPassThrough(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DispatchCleanup(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp);

// BlkControl.cpp: the six control requests, for request packets and fast I/O.
struct ControlArgs {
    PVOID Input;
    ULONG InputLength;
    PVOID Output;
    ULONG OutputLength;
    ULONG Code;
    PIO_STATUS_BLOCK Status;
    PIRP Irp;  // null on the fast I/O path
};
NTSTATUS ControlRequest(const ControlArgs& args);

// BlkDriveList.cpp / BlkDump.cpp: the list-walking answers.
NTSTATUS GetDrives(PVOID output, ULONG length, PIO_STATUS_BLOCK status);
NTSTATUS DumpState(PVOID output, ULONG length, PIO_STATUS_BLOCK status);

// BlkEvents.cpp: the change and activity event slots (control spin lock).
using EventSlot = PKEVENT ControlExtension::*;
inline constexpr EventSlot kChangeSlot = &ControlExtension::ChangeEvent;
inline constexpr EventSlot kActivitySlot = &ControlExtension::ActivityEvent;
void SignalSlot(EventSlot slot);
inline void SignalChange() { SignalSlot(kChangeSlot); }
inline void SignalActivity() { SignalSlot(kActivitySlot); }
NTSTATUS RegisterEvent(EventSlot slot, HANDLE handle, PIRP irp);
void ClearEvent(EventSlot slot);

// BlkAccount.cpp: counting requests in flight.
enum class IoClass : ULONG_PTR { Read = 1, Write = 2, Dismount = 3 };
void BeginIo(PDEVICE_OBJECT device, PFILE_OBJECT file, IoClass io_class);
void EndIo(PDEVICE_OBJECT device, PFILE_OBJECT file, IoClass io_class);
NTSTATUS DispatchRead(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DispatchWrite(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS CountedCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context);
ACTIVITY_MASKS CollectActivity();

// BlkFastIo.cpp
void FillFastIoTable(FAST_IO_DISPATCH& table);

// BlkLists.cpp: the two kinds of filter list (call with the list lock held).
void InsertFsFilter(PDEVICE_OBJECT filter);
void UnlinkFsFilter(PDEVICE_OBJECT filter);
void InsertVolume(PDEVICE_OBJECT owner, PDEVICE_OBJECT volume);
void UnlinkVolume(PDEVICE_OBJECT volume);
// Calls fn(PDEVICE_OBJECT) for every file-system filter / volume filter in
// list order. A callback that returns bool stops the walk with false; the
// walk then returns false.
template <typename Fn>
bool VisitDevice(Fn& fn, PDEVICE_OBJECT device) {
    if constexpr (std::is_void_v<std::invoke_result_t<Fn&, PDEVICE_OBJECT>>) {
        fn(device);
        return true;
    } else {
        return fn(device);
    }
}
template <typename Fn>
bool ForEachFsFilter(Fn&& fn) {
    for (PDEVICE_OBJECT d = ControlExt()->FsHead; d;) {
        PDEVICE_OBJECT next = Ext<FsFilterExtension>(d)->Next;
        if (!VisitDevice(fn, d)) return false;
        d = next;
    }
    return true;
}
template <typename Fn>
bool ForEachVolume(PDEVICE_OBJECT fs_filter, Fn&& fn) {
    for (PDEVICE_OBJECT d = Ext<FsFilterExtension>(fs_filter)->VolumeHead; d;) {
        PDEVICE_OBJECT next = Ext<VolumeExtension>(d)->Next;
        if (!VisitDevice(fn, d)) return false;
        d = next;
    }
    return true;
}

// Calls fn(LetterRecord&) for every present record of a network filter in
// slot order, under its letter spin lock; a false return stops the walk.
template <typename Fn>
bool ForEachLetterRecord(FsFilterExtension& fs, Fn&& fn) {
    SpinLockGuard letters(fs.LetterLock);
    for (LetterRecord* record : fs.Letters) {
        if (record && !fn(*record)) return false;
    }
    return true;
}

// BlkFsAttach.cpp: file-system filters and their removal.
VOID FsNotification(PDEVICE_OBJECT fs_device, BOOLEAN active);
void AttachRedirector();
NTSTATUS DispatchFsControl(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DispatchPnp(PDEVICE_OBJECT device, PIRP irp);
VOID FastIoDetachDevice(PDEVICE_OBJECT source, PDEVICE_OBJECT target);

// BlkMount.cpp
NTSTATUS MountVolume(PDEVICE_OBJECT fs_filter, PIRP irp);

// BlkVolumeInfo.cpp: what a volume filter knows about its volume.
void QueryObjectName(PVOID object, UNICODE_STRING& name);
void ResolveLetter(VolumeExtension& volume);
void QueryDeviceNumbers(VolumeExtension& volume);
void CopyLabel(VolumeExtension& volume, const WCHAR* label, ULONG length_bytes);
void UpdateLabel(PDEVICE_OBJECT device, PIRP irp);

// BlkNetLetters.cpp: network letter records.
LetterRecord* NewLetterRecord(WCHAR letter, const UNICODE_STRING& name);
void FreeLetterRecords(FsFilterExtension& filter);
void RecordNetworkCreate(PDEVICE_OBJECT fs_filter, PIRP irp);
PFILE_OBJECT OutermostFile(PFILE_OBJECT file);  // follows RelatedFileObject to its end

}  // namespace blinkor
