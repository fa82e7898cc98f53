// Activity accounting: every read-class and write-class request that passes
// a filter is counted while it is in flight, on its volume filter or, for
// the redirector, on the letter record its file name names. The activity
// event is set only when a counter leaves or reaches zero.
//
// Begin runs in the sending thread, end in the completing context (up to
// DISPATCH_LEVEL): counters change only by interlocked operations, letter
// records are reached only under their filter's letter spin lock, which is
// released before the control spin lock is taken. No fast mutex, no
// allocation on this path.
#include "BlkNameRules.h"
#include "BlkRoutines.h"

namespace blinkor {
namespace {

template <typename Counted>
volatile LONG& Counter(Counted& counted, IoClass io_class) {
    return io_class == IoClass::Read ? counted.Reads : counted.Writes;
}

// The letter slot a network request counts in. A request without a file
// object counts in the catch-all, like any request without a letter.
int CountingSlot(PFILE_OBJECT file) {
    if (!file) return kCatchAllSlot;
    const UNICODE_STRING& name = OutermostFile(file)->FileName;
    if (!name.Buffer) return kCatchAllSlot;
    return NetworkCountingSlot({name.Buffer, name.Length / sizeof(WCHAR)}, g_blk.OsClass);
}

// Applies step(counter, clamp) to the counter that (device, file) selects;
// false when the request is not counted. Letter records are stepped under
// their filter's letter spin lock and ask for the clamp at 0.
template <typename Step>
bool StepCounter(PDEVICE_OBJECT device, PFILE_OBJECT file, IoClass io_class, Step&& step) {
    if (KindOf(device) == kKindVolume) {
        step(Counter(*Ext<VolumeExtension>(device), io_class), false);
        return true;
    }
    if (!IsNetworkFilter(device)) return false;
    auto* fs = Ext<FsFilterExtension>(device);
    const int slot = CountingSlot(file);
    SpinLockGuard lock(fs->LetterLock);
    LetterRecord* record = fs->Letters[slot];
    if (!record) return false;
    step(Counter(*record, io_class), true);
    return true;
}

}  // namespace

void BeginIo(PDEVICE_OBJECT device, PFILE_OBJECT file, IoClass io_class) {
    LONG result = 0;
    const bool counted = StepCounter(device, file, io_class,
                                     [&](volatile LONG& c, bool) { result = InterlockedIncrement(&c); });
    if (counted && result == 1) SignalActivity();
}

// A letter record can see an end without its begin (it was created or
// replaced meanwhile), so its counter stops at 0. A volume's counters always
// pair up.
void EndIo(PDEVICE_OBJECT device, PFILE_OBJECT file, IoClass io_class) {
    LONG result = 0;
    const bool counted = StepCounter(device, file, io_class, [&](volatile LONG& c, bool clamp) {
        result = InterlockedDecrement(&c);
        if (clamp && result < 0) InterlockedExchange(&c, 0);
    });
    if (counted && result == 0) SignalActivity();
}

NTSTATUS CountedCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (stack->MajorFunction == IRP_MJ_SET_VOLUME_INFORMATION) UpdateLabel(device, irp);
    const auto io_class = static_cast<IoClass>(reinterpret_cast<ULONG_PTR>(context));
    if (io_class == IoClass::Dismount) {
        if (KindOf(device) == kKindVolume) Ext<VolumeExtension>(device)->Dismounted = TRUE;
        SignalChange();
    } else {
        EndIo(device, stack->FileObject, io_class);
    }
    if (irp->PendingReturned) IoMarkIrpPending(irp);
    return STATUS_SUCCESS;
}

namespace {

NTSTATUS DispatchCounted(PDEVICE_OBJECT device, PIRP irp, IoClass io_class) {
    if (KindOf(device) == kKindControl) return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, CountedCompletion, reinterpret_cast<PVOID>(io_class), TRUE, TRUE, TRUE);
    BeginIo(device, IoGetCurrentIrpStackLocation(irp)->FileObject, io_class);
    return IoCallDriver(LowerOf(device), irp);
}

void MarkBusy(ACTIVITY_MASKS& masks, WCHAR letter, LONG reads, LONG writes) {
    if (reads > 0) masks.ReadMask |= LetterBit(letter);
    if (writes > 0) masks.WriteMask |= LetterBit(letter);
}

}  // namespace

NTSTATUS DispatchRead(PDEVICE_OBJECT device, PIRP irp) { return DispatchCounted(device, irp, IoClass::Read); }
NTSTATUS DispatchWrite(PDEVICE_OBJECT device, PIRP irp) { return DispatchCounted(device, irp, IoClass::Write); }

ACTIVITY_MASKS CollectActivity() {
    ACTIVITY_MASKS masks{0, 0};
    ListLockGuard list;
    ForEachFsFilter([&](PDEVICE_OBJECT fs_device) {
        auto* fs = Ext<FsFilterExtension>(fs_device);
        if (fs->Network) {
            ForEachLetterRecord(*fs, [&](LetterRecord& r) {
                MarkBusy(masks, r.Letter, ReadNoFence(&r.Reads), ReadNoFence(&r.Writes));
                return true;
            });
        }
        ForEachVolume(fs_device, [&](PDEVICE_OBJECT v) {
            const auto* volume = Ext<VolumeExtension>(v);
            MarkBusy(masks, volume->Letter, ReadNoFence(&volume->Reads), ReadNoFence(&volume->Writes));
        });
    });
    return masks;
}

}  // namespace blinkor
