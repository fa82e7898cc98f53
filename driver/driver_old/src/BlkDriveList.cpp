// IOCTL_LED_GET_DRIVES: one DRIVE_RECORD per network letter record and per
// volume filter, file-system filter by filter in list order. A record that
// does not fit ends the list with STATUS_BUFFER_OVERFLOW and the length of
// the records written.
#include "BlkOutput.h"
#include "BlkRoutines.h"

namespace blinkor {
namespace {

constexpr SIZE_T kRecordHead = offsetof(DRIVE_RECORD, Name);
constexpr SIZE_T kNameTail = sizeof(DRIVE_RECORD) - kRecordHead;  // the 4 zero bytes after a name

bool PutLetterRecord(OutputCursor& out, const LetterRecord& record) {
    DRIVE_RECORD r{};
    r.Letter = record.Letter;
    r.DeviceType = LED_DEVICE_TYPE_NETWORK;
    r.NameLength = record.Name.Length;
    return out.Put(&r, kRecordHead, record.Name.Buffer, record.Name.Length, kNameTail);
}

bool PutVolumeRecord(OutputCursor& out, VolumeExtension& volume) {
    if (volume.Letter == kNoLetter) ResolveLetter(volume);
    DRIVE_RECORD r{};
    r.Letter = volume.Letter;
    r.DeviceType = volume.Numbers.DeviceType;
    r.DeviceNumber = volume.Numbers.DeviceNumber;
    r.PartitionNumber = volume.Numbers.PartitionNumber;
    r.Removable = volume.Removable;
    r.Dismounted = volume.Dismounted;
    r.SerialNumber = volume.SerialNumber;
    RtlCopyMemory(r.Label, volume.LabelBuffer, volume.Label.Length);
    return out.Put(&r, sizeof r);
}

}  // namespace

NTSTATUS GetDrives(PVOID output, ULONG length, PIO_STATUS_BLOCK status) {
    OutputCursor out(output, length);
    ListLockGuard list;
    const bool complete = ForEachFsFilter([&](PDEVICE_OBJECT fs_device) {
        auto* fs = Ext<FsFilterExtension>(fs_device);
        if (fs->Network && !ForEachLetterRecord(*fs, [&](LetterRecord& r) { return PutLetterRecord(out, r); })) {
            return false;
        }
        return ForEachVolume(fs_device, [&](PDEVICE_OBJECT v) { return PutVolumeRecord(out, *Ext<VolumeExtension>(v)); });
    });
    return out.Finish(complete, status);
}

}  // namespace blinkor
