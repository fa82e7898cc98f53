// Emulated storage devices: disks, partitions, CD-ROMs and floppies with
// their names, characteristics, device-number answers and removable media.
#pragma once

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

private:
    NTSTATUS Control(PIRP irp);

    StorageSpec m_spec;
    PDEVICE_OBJECT m_device = nullptr;
    bool m_preventRemoval = false;
    bool m_mediaPresent = true;
};

}  // namespace kern::sim
