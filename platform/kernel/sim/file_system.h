// Emulated file systems: a control device that registers with the I/O
// manager and mounts volumes of storage devices, the volume devices it
// creates, and the network redirector, whose control device takes the opens
// and requests of network files itself. Each file system driver has a fast
// I/O table with the entries its scenario chooses.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "kernel/sim/request_engine.h"
#include "kernel/sim/storage.h"

namespace kern::sim {

struct FileSystemSpec {
    std::u16string name;  // "Ntfs"; volumes name their file system by it
    std::u16string driver_name;  // "\FileSystem\Ntfs"
    std::u16string device_name;  // "\Ntfs"; the redirector's is "\Device\LanmanRedirector"
    DEVICE_TYPE type = FILE_DEVICE_DISK_FILE_SYSTEM;
    bool recognizer = false;  // answers every mount with STATUS_UNRECOGNIZED_VOLUME
    bool registered = true;  // registered when the machine starts
    bool all_fast_io = true;
    std::vector<std::string> fast_io;  // entry names when not all
    ULONG fast_io_size = 0;  // declared table size; 0: the full size
    bool mount_at_dispatch = false;  // completes mounts at DISPATCH_LEVEL, as from a deferred routine
};

// Names of the FAST_IO_DISPATCH fields by field number (1 = FastIoCheckIfPossible).
const std::array<const char*, 28>& FastIoEntryNames();

class FileSystem;

// A mounted (or dismounted but kept) volume, or the redirector's files.
class Volume final : public SimDevice {
public:
    Volume(FileSystem* fs, StorageDevice* storage);
    NTSTATUS Dispatch(PDEVICE_OBJECT device, PIRP irp) override;
    bool FastIo(std::size_t index) override;

    RequestEngine& Engine() { return m_engine; }
    PDEVICE_OBJECT Device() const { return m_device; }
    void SetDevice(PDEVICE_OBJECT device) { m_device = device; }
    StorageDevice* Storage() const { return m_storage; }
    bool Dismounted() {
        std::lock_guard lock(m_lock);
        return m_dismounted;
    }
    void SetDismounted(bool value) {
        std::lock_guard lock(m_lock);
        m_dismounted = value;
    }

private:
    IO_STATUS_BLOCK OpenOrCleanup(PIRP irp);
    IO_STATUS_BLOCK FsControl(PIRP irp);
    NTSTATUS FileRequest(PIRP irp);
    NTSTATUS QueryVolume(PIRP irp);
    NTSTATUS SetVolume(PIRP irp);

    FileSystem* m_fs;
    StorageDevice* m_storage;  // null for the redirector
    PDEVICE_OBJECT m_device = nullptr;
    RequestEngine m_engine;
    std::mutex m_lock;  // guards the opens, the locker and the dismounted flag
    std::set<PFILE_OBJECT> m_userOpens;  // user-mode opens not yet cleaned up
    PFILE_OBJECT m_locker = nullptr;
    bool m_dismounted = false;
};

class FileSystem final : public SimDevice {
public:
    explicit FileSystem(FileSystemSpec spec);
    ~FileSystem() override;
    NTSTATUS Create();
    NTSTATUS Dispatch(PDEVICE_OBJECT device, PIRP irp) override;
    bool FastIo(std::size_t index) override;

    void Register() { IoRegisterFileSystem(m_control); }
    void Unregister() { IoUnregisterFileSystem(m_control); }
    // Deletes the volume device of `storage`, as a file system does when a
    // volume goes away; filters attached to it hear of it by fast I/O detach.
    NTSTATUS DeleteVolume(PDEVICE_OBJECT storage);
    // The next `count` attaches onto the volume device that the next new
    // mount of `storage` creates will fail.
    void ArmAttachFailures(PDEVICE_OBJECT storage, int count);

    const FileSystemSpec& Spec() const { return m_spec; }
    PDEVICE_OBJECT ControlDevice() const { return m_control; }
    bool IsNetwork() const { return m_spec.type == FILE_DEVICE_NETWORK_FILE_SYSTEM; }
    Volume* NetworkFiles() { return m_network.get(); }
    Volume* VolumeOf(PDEVICE_OBJECT storage);
    // Completes every request its volumes hold with STATUS_CANCELLED, as
    // pending I/O is cancelled when the machine goes; returns how many.
    int CancelHeld();
    // How often each fast I/O entry was called on this file system's devices.
    int FastIoCalls(std::size_t index) const { return m_fastIoCalls.at(index); }
    void CountFastIo(std::size_t index) { ++m_fastIoCalls.at(index); }

private:
    NTSTATUS Mount(PIRP irp);
    NTSTATUS MountOn(StorageDevice* storage, PVPB vpb);
    void BuildFastIoTable();

    FileSystemSpec m_spec;
    PDRIVER_OBJECT m_driver = nullptr;
    PDEVICE_OBJECT m_control = nullptr;
    FAST_IO_DISPATCH m_fastIo{};
    std::mutex m_volumesLock;  // guards m_volumes and m_retired; never held while a request travels
    std::map<PDEVICE_OBJECT, std::unique_ptr<Volume>> m_volumes;  // by storage device
    std::vector<std::unique_ptr<Volume>> m_retired;  // deleted volumes; their devices may outlive them
    std::unique_ptr<Volume> m_network;
    std::map<PDEVICE_OBJECT, int> m_armedAttachFailures;  // by storage device; guarded by m_volumesLock
    std::array<int, 28> m_fastIoCalls{};
};

}  // namespace kern::sim
