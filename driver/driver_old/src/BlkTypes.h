// The driver's records: the three device extensions, the network letter
// record, the mount work item and the global state, with the locks that
// guard them.
//
// Lock order, on every path: list lock (fast mutex) -> a filter's letter
// spin lock -> the control spin lock. The counting path never takes the list
// lock and allocates nothing.
//
// Every extension begins with its own device pointer and a four-byte kind
// tag ("LMCD", "LMFS", "LMVO" in memory order); requests are routed by that
// tag. Field order follows the classic layout with native pointer widths;
// IOCTL_LED_DUMP_STATE serialises the fields explicitly (BlkDumpLayout.h).
#pragma once

#include "kernel/ntddk.h"

namespace blinkor {

inline constexpr ULONG kKindControl = POOL_TAG("LMCD");
inline constexpr ULONG kKindFsFilter = POOL_TAG("LMFS");
inline constexpr ULONG kKindVolume = POOL_TAG("LMVO");
inline constexpr ULONG kPoolTagFastIo = POOL_TAG("LMon");
inline constexpr ULONG kPoolTagRecord = POOL_TAG("LMvn");

inline constexpr int kSlotCount = 32;
inline constexpr WCHAR kNoLetter = u'[';
inline constexpr WCHAR kCatchAllLetter = 0x60;
inline constexpr ULONG kUnknownPartition = 0xFFFFFFFFu;

// The start every extension shares.
struct DeviceHeader {
    PDEVICE_OBJECT Self;
    ULONG Kind;
};

// Counters and name of one network drive letter (or of the catch-all). One
// pool block of kLetterRecordHeader + name bytes + 4 spare bytes, tag "LMvn".
// Reached only under the owning filter's letter spin lock.
struct LetterRecord {
    volatile LONG Reads;
    volatile LONG Writes;
    WCHAR Letter;  // 'A'..'Z', or 0x60 for the catch-all
    UNICODE_STRING Name;  // Buffer points at NameBuffer; MaximumLength = Length + 2
    WCHAR NameBuffer[2];
};
inline constexpr SIZE_T kLetterRecordHeader = offsetof(LetterRecord, NameBuffer);

struct ControlExtension {
    PDEVICE_OBJECT Self;
    ULONG Kind;
    PDEVICE_OBJECT Lower;   // always null: the slot the filters use for their lower device
    PDEVICE_OBJECT Target;  // always null
    PDEVICE_OBJECT FsHead;  // file-system filters, newest first; guarded by the list lock
    LONG FsCount;
    KSPIN_LOCK ControlLock;  // guards the two event slots
    PKEVENT ChangeEvent;     // referenced event objects, or null
    PKEVENT ActivityEvent;
    PFILE_OBJECT FirstOpen;  // the open that took the open count from 0 to 1
    BOOLEAN RedirectorAttached;
    volatile LONG OpenCount;
};

inline constexpr USHORT kFsNameBytes = 128;
struct FsFilterExtension {
    PDEVICE_OBJECT Self;
    ULONG Kind;
    PDEVICE_OBJECT Lower;   // what the attach returned; passed-down requests go here
    PDEVICE_OBJECT Target;  // the file system control device
    PDEVICE_OBJECT Previous;
    PDEVICE_OBJECT Next;
    PDEVICE_OBJECT VolumeHead;  // volume filters, newest first; guarded by the list lock
    LONG VolumeCount;
    UNICODE_STRING Name;  // the file system device's object name
    WCHAR NameBuffer[kFsNameBytes / sizeof(WCHAR)];
    BOOLEAN Network;
    KSPIN_LOCK LetterLock;  // guards Letters
    LetterRecord* Letters[kSlotCount];  // slot n: 'A' + n; slot 31 the catch-all
};

inline constexpr USHORT kStorageNameBytes = 128;
inline constexpr USHORT kLabelBytes = 64;
struct VolumeExtension {
    PDEVICE_OBJECT Self;
    ULONG Kind;
    PDEVICE_OBJECT Lower;
    PDEVICE_OBJECT VolumeDevice;  // the file system's volume device
    PDEVICE_OBJECT Owner;         // the file-system filter the mount came through; null once orphaned
    PDEVICE_OBJECT Previous;
    PDEVICE_OBJECT Next;
    PDEVICE_OBJECT Storage;  // the volume's real (storage) device
    volatile LONG Reads;
    volatile LONG Writes;
    BOOLEAN Dismounted;
    BOOLEAN Removable;
    WCHAR Letter;  // 'A'..'Z', or '[' while unknown
    STORAGE_DEVICE_NUMBER Numbers;  // device type, device number, partition number
    ULONG SerialNumber;
    UNICODE_STRING StorageName;
    WCHAR StorageNameBuffer[kStorageNameBytes / sizeof(WCHAR)];
    UNICODE_STRING Label;
    WCHAR LabelBuffer[kLabelBytes / sizeof(WCHAR)];
};

// A held mount request on its way to the work routine (pool tag "LMvn").
struct MountWorkItem {
    WORK_QUEUE_ITEM Item;
    PDEVICE_OBJECT FsFilter;
    PIRP Irp;
    PDEVICE_OBJECT NewDevice;
};

// The driver's global state: set up by DriverEntry, kept until shutdown.
struct Globals {
    PDRIVER_OBJECT Driver = nullptr;
    PDEVICE_OBJECT Control = nullptr;
    int OsClass = 3;
    FAST_MUTEX ListLock{};  // guards the file-system filter list and every volume list
    PFAST_IO_DISPATCH FastIo = nullptr;
};
extern Globals g_blk;

inline ULONG KindOf(PDEVICE_OBJECT device) {
    return static_cast<const DeviceHeader*>(device->DeviceExtension)->Kind;
}
template <typename Extension>
Extension* Ext(PDEVICE_OBJECT device) {
    return static_cast<Extension*>(device->DeviceExtension);
}
// The device a filter passes requests to (null for the control device).
inline PDEVICE_OBJECT LowerOf(PDEVICE_OBJECT device) {
    switch (KindOf(device)) {
        case kKindVolume: return Ext<VolumeExtension>(device)->Lower;
        case kKindFsFilter: return Ext<FsFilterExtension>(device)->Lower;
        default: return nullptr;
    }
}
inline ControlExtension* ControlExt() { return Ext<ControlExtension>(g_blk.Control); }
inline bool IsNetworkFilter(PDEVICE_OBJECT device) {
    return KindOf(device) == kKindFsFilter && Ext<FsFilterExtension>(device)->Network;
}

// The list lock for one scope.
class ListLockGuard {
public:
    ListLockGuard() { ExAcquireFastMutex(&g_blk.ListLock); }
    ~ListLockGuard() { Release(); }
    void Release() {
        if (m_held) ExReleaseFastMutex(&g_blk.ListLock);
        m_held = false;
    }
    ListLockGuard(const ListLockGuard&) = delete;
    ListLockGuard& operator=(const ListLockGuard&) = delete;

private:
    bool m_held = true;
};

// A spin lock for one scope (raises to DISPATCH_LEVEL).
class SpinLockGuard {
public:
    explicit SpinLockGuard(KSPIN_LOCK& lock) : m_lock(lock) { KeAcquireSpinLock(&m_lock, &m_oldIrql); }
    ~SpinLockGuard() { Release(); }
    void Release() {
        if (m_held) KeReleaseSpinLock(&m_lock, m_oldIrql);
        m_held = false;
    }
    SpinLockGuard(const SpinLockGuard&) = delete;
    SpinLockGuard& operator=(const SpinLockGuard&) = delete;

private:
    KSPIN_LOCK& m_lock;
    KIRQL m_oldIrql = PASSIVE_LEVEL;
    bool m_held = true;
};

}  // namespace blinkor
