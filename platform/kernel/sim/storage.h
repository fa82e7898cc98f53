// Emulated storage devices: disks, partitions, CD-ROMs and floppies with
// their names, characteristics, device-number answers and removable media.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "kernel/sim/sim_device.h"

namespace kern::sim {

// What a scenario says about one file-system volume on a storage device.
struct VolumeSpec {
    std::u16string file_system;  // the name of the file system that mounts it
    std::u16string label;
    ULONG serial = 0;
    ULONGLONG total_bytes = 0;
    ULONGLONG free_bytes = 0;
    bool mounted = true;  // mounted when the machine starts
    std::string mount_point = {};  // where a file manager finds its files
};

// What lies below a storage device and its volume on the real machine. A
// device without a backing answers from its scenario. The calls run in the
// thread of the request, on behalf of its requester (kern::CurrentProcess).
class StorageBacking {
public:
    virtual ~StorageBacking() = default;
    virtual NTSTATUS QuerySpace(ULONGLONG* total, ULONGLONG* free) = 0;
    // The volume is about to be locked: refused while others use it.
    virtual NTSTATUS Lock() = 0;
    virtual NTSTATUS Dismount() = 0;
    virtual NTSTATUS Eject() = 0;
    // IOCTL_STORAGE_MEDIA_REMOVAL: the device takes the new state only when
    // this succeeds.
    virtual NTSTATUS PreventRemoval(bool prevent) = 0;
};

struct StorageSpec {
    std::u16string name;  // "\Device\HarddiskVolume1"
    DEVICE_TYPE type = FILE_DEVICE_DISK;
    bool removable = false;
    bool floppy = false;
    std::optional<STORAGE_DEVICE_NUMBER> number;  // unset: the query fails
    std::optional<VolumeSpec> volume;
};

class StorageDevice final : public SimDevice {
public:
    explicit StorageDevice(StorageSpec spec) : m_spec(std::move(spec)) {}
    NTSTATUS Create(PDRIVER_OBJECT driver);
    NTSTATUS Dispatch(PDEVICE_OBJECT device, PIRP irp) override;

    const StorageSpec& Spec() const { return m_spec; }
    PDEVICE_OBJECT Device() const { return m_device; }
    bool MediaPresent() const { return m_mediaPresent; }
    void InsertMedia() { m_mediaPresent = true; }
    // The real machine describes a volume when it appears, before mounting it.
    void SetVolume(const VolumeSpec& volume) { m_spec.volume = volume; }
    void SetBacking(std::shared_ptr<StorageBacking> backing) { m_backing = std::move(backing); }
    StorageBacking* Backing() const { return m_backing.get(); }

private:
    NTSTATUS Control(PIRP irp);

    StorageSpec m_spec;
    std::shared_ptr<StorageBacking> m_backing;
    PDEVICE_OBJECT m_device = nullptr;
    bool m_preventRemoval = false;
    bool m_mediaPresent = true;
};

}  // namespace kern::sim
