// What ProbeDevice asks a device before deciding how to talk to it: where
// its name leads, what kind of device it is, its SCSI address and whether
// the disk driver offers the ATA S.M.A.R.T. requests for it.
#include "engine/CSmartFliegendeUntertasse.h"

#include <cstring>

#include "base/ntstatus.h"

namespace {

constexpr std::size_t kMaxNameChars = 260;
constexpr ULONG kLinkTargetBytes = 1022;
// A link that leads (through others) back to itself must not hang the
// discovery; no real name is nested this deep.
constexpr int kMaxLinkHops = 32;

constexpr ULONG kGetVersionOutSize = 1024;
constexpr DWORD kNeededCapabilities = CAP_ATA_ID_CMD | CAP_SMART_CMD;

// The target of one symbolic link, or false when `name` is not one.
bool ReadLinkTarget(const std::u16string& name, std::u16string& target) {
    UNICODE_STRING text;
    RtlInitUnicodeString(&text, name.c_str());
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE link = nullptr;
    if (!NT_SUCCESS(NtOpenSymbolicLinkObject(&link, GENERIC_READ, &attributes))) return false;
    WCHAR buffer[kLinkTargetBytes / sizeof(WCHAR)] = {};
    UNICODE_STRING result{0, static_cast<USHORT>(kLinkTargetBytes), buffer};
    const NTSTATUS status = NtQuerySymbolicLinkObject(link, &result, nullptr);
    NtClose(link);
    if (!NT_SUCCESS(status)) return false;
    target.assign(plat::View(&result));
    return true;
}

}  // namespace

std::u16string CSmartFliegendeUntertasse::FollowSymbolicLinks(std::u16string_view name) {
    std::u16string current(name.substr(0, kMaxNameChars));
    std::u16string target;
    for (int hop = 0; hop < kMaxLinkHops && ReadLinkTarget(current, target); ++hop) current = target;
    return current;
}

bool CSmartFliegendeUntertasse::ReadDeviceInformation(DeviceNode* node) {
    FILE_FS_DEVICE_INFORMATION info{};
    IO_STATUS_BLOCK io;
    const NTSTATUS status =
        NtQueryVolumeInformationFile(node->handle, &io, &info, sizeof info, FileFsDeviceInformation);
    if (!NT_SUCCESS(status) || io.Information != sizeof info) return true;
    if (info.Characteristics & FILE_REMOVABLE_MEDIA) node->flags |= NODE_REMOVABLE;
    node->deviceType = info.DeviceType;
    // Removable disks (flash sticks, card readers) have no S.M.A.R.T. to
    // watch. Floppy drives report themselves as removable disks too; they
    // stay, so that the drive list shows them (as device type 1).
    const bool floppy = (info.Characteristics & FILE_FLOPPY_DISKETTE) != 0;
    return !(info.DeviceType == FILE_DEVICE_DISK && (node->flags & NODE_REMOVABLE) && !floppy);
}

void CSmartFliegendeUntertasse::ReadScsiAddress(DeviceNode* node) {
    SCSI_ADDRESS address{};
    ULONG_PTR returned = 0;
    const NTSTATUS status =
        DeviceControl(node, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, sizeof address, &returned);
    if (NT_ERROR(status) || returned < sizeof address) return;
    node->port = address.PortNumber;
    node->path = address.PathId;
    node->target = address.TargetId;
    node->lun = address.Lun;
}

void CSmartFliegendeUntertasse::ReadSmartVersion(DeviceNode* node) {
    BYTE out[kGetVersionOutSize] = {};
    ULONG_PTR returned = 0;
    const NTSTATUS status = DeviceControl(node, SMART_GET_VERSION, nullptr, 0, out, sizeof out, &returned);
    if (NT_ERROR(status) || returned < sizeof(GETVERSIONINPARAMS)) return;
    GETVERSIONINPARAMS version;
    std::memcpy(&version, out, sizeof version);
    if ((version.fCapabilities & kNeededCapabilities) != kNeededCapabilities) return;
    node->flags |= NODE_ATA;
    // The IDE device map tells whether the drive is the second on its channel.
    const BYTE unit = node->target & 1;
    node->SetDriveNumber((version.bIDEDeviceMap & (1u << unit)) ? unit : 0);
}
