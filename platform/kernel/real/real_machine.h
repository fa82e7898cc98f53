// The Linux machine the host runs on, as the kernel host's machine. Storage
// devices come from sysfs, volumes from the mount table, drive letters from
// the letter store, and disk activity from the block layer's counters, so
// that unchanged filter drivers see this machine's volumes, letters, mounts
// and dismounts, and its reads and writes as request packets.
//
//   storage         \Device\HarddiskVolumeK  (partition P of disk N, or a
//                   whole-disk file system as partition 1), with the link
//                   \Device\HarddiskN\PartitionP; \Device\CdRomN,
//                   \Device\FloppyN, \Device\TapeN. Each answers
//                   IOCTL_STORAGE_GET_DEVICE_NUMBER with its type, disk (or
//                   drive) number and partition number.
//   file systems    one emulated file system per Linux type ("ext4",
//                   "vfat"; optical ones "iso9660-optical") and the network
//                   redirector \Device\LanmanRedirector
//   volumes         every mounted block-device file system, once, at its
//                   first mount point; \??\X: links to its storage device
//   network         every network mount is a redirector file named
//                   \;X:0000000000003e7\server\share (without a letter:
//                   \server\share), linked from \??\X:
//   activity        while the sampler finds a volume reading (writing), one
//                   read (write) request is held pending on its stack and
//                   completed once a sample finds it quiet
//
// Refresh brings the kernel in line with the system files; the watcher calls
// it at once on every change (mount table, block device events, the device
// database), and tests call it after changing a recorded machine.
//
// Thread rule: Build first; then every call may come from any thread. The
// machine's lock serialises Refresh, commands and drive look-ups; it is
// never held while a file system is asked for its free space.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "kernel/hosted_machine.h"
#include "kernel/real/activity_sampler.h"
#include "kernel/real/block_devices.h"
#include "kernel/real/drive_letters.h"
#include "kernel/real/mountinfo.h"
#include "kernel/real/volume_actions.h"
#include "kernel/sim/file_system.h"
#include "kernel/sim/scenario.h"

namespace kern::real {

class ChangeWatcher;

struct RealMachineOptions {
    std::string system_root = "/";
    std::string driver_directory;
    std::vector<sim::ModuleSpec> modules;  // empty: the blinkor module
    std::chrono::microseconds period = kDefaultSamplingPeriod;  // of the activity sampler
    std::chrono::milliseconds linger{50};  // busy after the last activity: one poll of the GUI
    std::shared_ptr<VolumeActions> actions;  // null: MakeVolumeActions()
    bool watch = true;  // run the watcher and the sampler threads
};

// What the machine shows of one volume (for commands and tests).
struct VolumeView {
    WCHAR letter = 0;  // 0: none
    bool network = false;
    bool mounted = false;  // false: dismounted, kept while its device stays
    std::string device;  // "sdb1"; the UNC name for a network volume
    std::string storage;  // the storage device's object name
    std::string fs_type, mount_point, identity;
    std::string label;
    ULONG serial = 0;
    STORAGE_DEVICE_NUMBER number{};
};

class RealMachine final : public HostedMachine {
public:
    RealMachine();
    ~RealMachine() override;

    NTSTATUS Build(const RealMachineOptions& options, std::string* error);
    void Refresh();
    // Stops the watcher and the sampler; held requests are completed, and
    // an optical drive's door the host locked is unlocked.
    void Stop();

    CommandResult Execute(const std::vector<std::string>& args) override;
    DriveInfo QueryDrive(WCHAR letter) override;
    static std::string Help();

    std::vector<VolumeView> Volumes();
    ActivitySampler& Sampler() { return *m_sampler; }
    std::string ActionsName() const { return m_actions->Name(); }

private:
    struct Storage;
    struct Mounted;
    struct Held;
    class Backing;

    void RefreshStorage(const std::vector<BlockDevice>& devices);
    Storage* AddStorage(const BlockDevice& device, const BlockPartition& partition, int disk_number);
    void RefreshVolumes(const std::vector<MountEntry>& mounts);
    void RefreshNetwork(const std::vector<MountEntry>& mounts);
    Storage* StorageOfMount(const MountEntry& entry);
    void MountNew(Storage& storage, const std::vector<const MountEntry*>& entries, LetterMask* in_use);
    void Dismount(Mounted& volume);
    void Drop(const std::string& key);
    void SetLabel(Mounted& volume, const std::string& label);
    bool StartNetwork(Mounted& share);
    void RebuildRedirector();
    sim::FileSystem* FileSystemFor(const std::string& fs_type, StorageKind kind);
    WCHAR StoredLetter(const std::string& identity) const;  // 0: none
    WCHAR AssignLetter(LetterPool pool, const std::string& identity, LetterMask in_use);
    void Link(WCHAR letter, const std::u16string& target);
    void Unlink(WCHAR letter);
    void StartActivity(Mounted& volume, PFILE_OBJECT file, sim::Volume* files);
    void StopActivity(Mounted& volume);
    void OnActivity(std::uint64_t id, Busy busy);
    LetterMask LettersInUse() const;
    CommandResult ListVolumes();
    CommandResult ListDrives();

    std::recursive_mutex m_lock;  // lock order: m_lock, then the sampler's lock, then m_activityLock
    RealMachineOptions m_options;
    SystemFiles m_files;
    std::shared_ptr<VolumeActions> m_actions;
    LetterStore m_letters;
    PDRIVER_OBJECT m_storageDriver = nullptr;
    std::unique_ptr<sim::FileSystem> m_redirector;
    std::vector<std::unique_ptr<sim::FileSystem>> m_fileSystems;
    std::map<std::string, std::unique_ptr<Storage>> m_storage;  // by kernel name of what holds the volume
    std::map<std::string, int> m_diskNumbers;  // by disk name
    int m_nextVolumeNumber = 1;
    std::map<std::string, std::unique_ptr<Mounted>> m_volumes;  // by storage key, or "net:" + UNC
    std::uint64_t m_nextId = 1;
    std::unique_ptr<ActivitySampler> m_sampler;
    std::unique_ptr<ChangeWatcher> m_watcher;

    std::mutex m_activityLock;  // guards m_held; taken by the sampler's sink
    std::map<std::uint64_t, Held> m_held;
};

}  // namespace kern::real
