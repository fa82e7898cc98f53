// What a volume filter knows about its volume: the storage device's name,
// the drive letter (found by following "\??\X:" links to that name), the
// device and partition numbers, and the label.
#include <algorithm>

#include "BlkNameRules.h"
#include "BlkRoutines.h"

namespace blinkor {
namespace {

constexpr USHORT kLinkBufferBytes = 600;
// A chain longer than this is a cycle of links, not a path to a device.
constexpr int kMaxLinkHops = 64;

std::u16string_view View(const UNICODE_STRING& s) { return {s.Buffer, s.Length / sizeof(WCHAR)}; }

// A name in a 600-byte buffer of its own, which following links rewrites.
struct LinkName {
    WCHAR buffer[kLinkBufferBytes / sizeof(WCHAR)];
    UNICODE_STRING name{0, kLinkBufferBytes, buffer};

    void Set(PCWSTR text) {
        name.Length = 0;
        RtlAppendUnicodeToString(&name, text);
    }
    void AppendNumber(ULONG value) {
        WCHAR digits[12];
        UNICODE_STRING number{0, sizeof digits, digits};
        RtlIntegerToUnicodeString(value, 10, &number);
        RtlAppendUnicodeStringToString(&name, &number);
    }
    // Replaces the name by the end of its chain of symbolic links.
    void FollowLinks() {
        for (int hop = 0; hop < kMaxLinkHops; ++hop) {
            OBJECT_ATTRIBUTES attributes;
            InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
            HANDLE link = nullptr;
            if (!NT_SUCCESS(ZwOpenSymbolicLinkObject(&link, GENERIC_READ, &attributes))) return;
            const NTSTATUS status = ZwQuerySymbolicLinkObject(link, &name, nullptr);
            ZwClose(link);
            if (!NT_SUCCESS(status)) return;
        }
    }
    bool Names(const UNICODE_STRING& device) const { return RtlEqualUnicodeString(&name, &device, TRUE); }
};

// "\Device\HarddiskDm..." volumes: find the "\Device\HarddiskD\PartitionP"
// link that leads to the storage device.
void ProbeDynamicDisk(VolumeExtension& volume) {
    LinkName probe;
    for (ULONG disk = 0; disk < 256; ++disk) {
        for (ULONG partition = 0; partition < 256; ++partition) {
            probe.Set(u"\\Device\\Harddisk");
            probe.AppendNumber(disk);
            RtlAppendUnicodeToString(&probe.name, u"\\Partition");
            probe.AppendNumber(partition);
            probe.FollowLinks();
            if (probe.Names(volume.StorageName)) {
                volume.Numbers.DeviceNumber = disk;
                volume.Numbers.PartitionNumber = partition;
                return;
            }
        }
    }
}

void NumbersFromName(VolumeExtension& volume) {
    const std::u16string_view name = View(volume.StorageName);
    if (IsDynamicDiskName(name)) {
        ProbeDynamicDisk(volume);
        return;
    }
    const DiskNumbers numbers = NumbersFromStorageName(name);
    volume.Numbers.DeviceNumber = numbers.device;
    volume.Numbers.PartitionNumber = numbers.partition;
}

NTSTATUS AskDeviceNumber(PDEVICE_OBJECT storage, STORAGE_DEVICE_NUMBER& answer) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK io_status{};
    PIRP irp = IoBuildDeviceIoControlRequest(IOCTL_STORAGE_GET_DEVICE_NUMBER, storage, nullptr, 0, &answer,
                                             sizeof answer, FALSE, &done, &io_status);
    if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
    NTSTATUS status = IoCallDriver(storage, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
        status = io_status.Status;
    }
    return status;
}

}  // namespace

void QueryObjectName(PVOID object, UNICODE_STRING& name) {
    name.Length = 0;
    alignas(OBJECT_NAME_INFORMATION) BYTE buffer[sizeof(OBJECT_NAME_INFORMATION) + kLinkBufferBytes];
    auto* info = reinterpret_cast<POBJECT_NAME_INFORMATION>(buffer);
    ULONG returned = 0;
    if (!NT_SUCCESS(ObQueryNameString(object, info, sizeof buffer, &returned))) return;
    RtlCopyUnicodeString(&name, &info->Name);
}

void ResolveLetter(VolumeExtension& volume) {
    LinkName link;
    WCHAR dos_name[] = u"\\??\\A:";
    for (WCHAR letter = u'A'; letter <= u'Z'; ++letter) {
        dos_name[4] = letter;
        link.Set(dos_name);
        link.FollowLinks();
        if (link.Names(volume.StorageName)) {
            volume.Letter = letter;
            return;
        }
    }
    if (!volume.Letter) volume.Letter = kNoLetter;
}

void QueryDeviceNumbers(VolumeExtension& volume) {
    STORAGE_DEVICE_NUMBER answer{};
    if (NT_SUCCESS(AskDeviceNumber(volume.Storage, answer))) {
        volume.Numbers = answer;
    } else {
        volume.Numbers.DeviceType = volume.Storage->DeviceType;
        volume.Numbers.PartitionNumber = kUnknownPartition;
        NumbersFromName(volume);
    }
    // The GUI tells floppy drives by device type 1.
    if (volume.Storage->Characteristics & FILE_FLOPPY_DISKETTE) volume.Numbers.DeviceType = LED_DEVICE_TYPE_FLOPPY;
    if (volume.Storage->Characteristics & FILE_REMOVABLE_MEDIA) volume.Removable = TRUE;
}

void CopyLabel(VolumeExtension& volume, const WCHAR* label, ULONG length_bytes) {
    const USHORT bytes = static_cast<USHORT>(std::min<ULONG>(length_bytes, kLabelBytes) & ~1u);
    RtlZeroMemory(volume.LabelBuffer, sizeof volume.LabelBuffer);
    if (bytes) RtlCopyMemory(volume.LabelBuffer, label, bytes);
    volume.Label.Length = bytes;
}

// A successful set-volume-information request with a new label: the label
// is read from the request's buffer, never past the length it declares.
void UpdateLabel(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const auto* info = static_cast<const FILE_FS_LABEL_INFORMATION*>(irp->AssociatedIrp.SystemBuffer);
    if (!NT_SUCCESS(irp->IoStatus.Status) || stack->Parameters.SetVolume.FsInformationClass != FileFsLabelInformation ||
        !info || KindOf(device) != kKindVolume) {
        return;
    }
    const ULONG header = offsetof(FILE_FS_LABEL_INFORMATION, VolumeLabel);
    const ULONG room = stack->Parameters.SetVolume.Length > header ? stack->Parameters.SetVolume.Length - header : 0;
    CopyLabel(*Ext<VolumeExtension>(device), info->VolumeLabel, std::min(info->VolumeLabelLength, room));
    SignalChange();
}

}  // namespace blinkor
