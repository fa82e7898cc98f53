#include "kernel/real/real_machine.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/format.h"
#include "base/text.h"
#include "kernel/io_requests.h"
#include "kernel/real/change_watcher.h"
#include "kernel/real/volume_identity.h"
#include "kernel/sim/machine.h"

namespace kern::real {
namespace {

constexpr const char16_t* kRedirectorDevice = u"\\Device\\LanmanRedirector";
constexpr const char* kLogonId = "0000000000003e7";  // the system's logon session
constexpr ULONG kActivityLength = 4096;

std::u16string U16(const std::string& s) { return plat::Utf8ToUtf16(s); }
std::string U8(const std::u16string& s) { return plat::Utf16ToUtf8(s); }
std::u16string DosName(WCHAR letter) { return std::u16string(u"\\??\\") + letter + u":"; }

struct UnicodeText {
    std::u16string text;
    UNICODE_STRING us;
    explicit UnicodeText(std::u16string t) : text(std::move(t)), us{USHORT(text.size() * 2), USHORT(text.size() * 2), text.data()} {}
};

DEVICE_TYPE DeviceTypeOf(StorageKind kind) {
    switch (kind) {
        case StorageKind::VirtualDisk: return FILE_DEVICE_VIRTUAL_DISK;
        case StorageKind::CdRom: return FILE_DEVICE_CD_ROM;
        case StorageKind::Tape: return FILE_DEVICE_TAPE;
        default: return FILE_DEVICE_DISK;
    }
}

NTSTATUS SpaceOf(const std::string& mount_point, ULONGLONG* total, ULONGLONG* free) {
    struct statvfs st;
    if (mount_point.empty()) return STATUS_VOLUME_DISMOUNTED;
    if (::statvfs(mount_point.c_str(), &st) != 0) return StatusFromErrno(errno);
    *total = ULONGLONG(st.f_blocks) * st.f_frsize;
    *free = ULONGLONG(st.f_bavail) * st.f_frsize;
    return STATUS_SUCCESS;
}

// The label a mounted file system reports itself (ext4, btrfs, xfs, ...),
// for machines without a device database.
std::string LabelFromFileSystem(const std::string& mount_point) {
    const int fd = ::open(mount_point.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return {};
    char label[FSLABEL_MAX + 1] = {};
    const bool ok = ::ioctl(fd, FS_IOC_GETFSLABEL, label) == 0;
    ::close(fd);
    return ok ? std::string(label) : std::string();
}

// Without a UUID: the file system id the kernel reports, folded to 32 bits.
ULONG SerialFromFileSystem(const std::string& mount_point) {
    struct statvfs st;
    if (::statvfs(mount_point.c_str(), &st) != 0) return 0;
    return ULONG(st.f_fsid ^ (std::uint64_t(st.f_fsid) >> 32));
}

std::u16string LabelText(const std::string& label) {
    std::u16string text = U16(label);
    text.resize(std::min<std::size_t>(text.size(), MAXIMUM_VOLUME_LABEL_LENGTH / sizeof(WCHAR)));
    return text;
}

LetterPool PoolOf(const MountEntry& first, StorageKind kind) {
    if (first.mount_point == "/") return LetterPool::Root;
    return kind == StorageKind::Floppy ? LetterPool::Floppy : LetterPool::Local;
}

CommandResult Refused(const std::string& verb) {
    return {STATUS_NOT_SUPPORTED, "\"" + verb +
                                      "\" is a command of the simulated machine; this host serves the real machine "
                                      "(--real), whose volumes change only as Linux changes them\n"};
}

}  // namespace

// One storage device object: a partition, a whole-disk file system, an
// optical or floppy drive's medium, or a tape drive.
struct RealMachine::Storage {
    BlockDevice drive;
    BlockPartition partition;
    std::string sysfs;  // of the block device holding the volume
    std::u16string name;  // object name
    std::u16string partition_link;  // \Device\HarddiskN\PartitionP, or empty
    std::unique_ptr<sim::StorageDevice> device;
    std::shared_ptr<Backing> backing;
    bool present = true;
};

// A volume: a mounted block file system, or a network mount.
struct RealMachine::Mounted {
    std::uint64_t id = 0;
    bool network = false;
    Storage* storage = nullptr;  // null for a network mount
    std::string unc;  // network
    std::string fs_type, identity, label;
    std::vector<std::string> mount_points;
    ULONG serial = 0;
    WCHAR letter = 0;
    bool mounted = false;
    PFILE_OBJECT activity = nullptr;
};

// The held activity requests of one volume, reached by the sampler's sink.
struct RealMachine::Held {
    PFILE_OBJECT file = nullptr;
    sim::Volume* files = nullptr;
    bool reading = false, writing = false;
};

// What lies below a storage device: the Linux volume on it and what may be
// done to it. Its state is the machine's to set, under its own lock, since
// client requests reach it without the machine's lock.
class RealMachine::Backing final : public sim::StorageBacking {
public:
    Backing(std::shared_ptr<VolumeActions> actions, bool removable) : m_actions(std::move(actions)), m_removable(removable) {}

    void Set(const VolumeTarget& target, bool mounted) {
        std::lock_guard lock(m_lock);
        m_target = target;
        m_mounted = mounted;
    }
    NTSTATUS QuerySpace(ULONGLONG* total, ULONGLONG* free) override {
        const VolumeTarget target = Target();
        return SpaceOf(target.mount_points.empty() ? "" : target.mount_points[0], total, free);
    }
    NTSTATUS Lock() override {
        if (!Permitted()) return STATUS_ACCESS_DENIED;
        return Mounted() ? m_actions->CheckNotBusy(Target()) : STATUS_SUCCESS;
    }
    NTSTATUS Dismount() override {
        if (!Permitted()) return STATUS_ACCESS_DENIED;
        if (!Mounted()) return STATUS_SUCCESS;  // Linux has unmounted it already
        const NTSTATUS status = m_actions->Unmount(Target());
        if (NT_SUCCESS(status)) {
            std::lock_guard lock(m_lock);
            m_mounted = false;
        }
        return status;
    }
    NTSTATUS Eject() override { return Permitted() ? m_actions->Eject(Target()) : STATUS_ACCESS_DENIED; }
    NTSTATUS PreventRemoval(bool prevent) override {
        if (!Permitted()) return STATUS_ACCESS_DENIED;
        const NTSTATUS status = m_actions->PreventRemoval(Target(), prevent);
        if (NT_SUCCESS(status)) {
            std::lock_guard lock(m_lock);
            m_doorLocked = prevent;
        }
        return status;
    }
    // A door the host locked is not left locked when the host ends.
    void ReleaseDoor() {
        bool locked = false;
        {
            std::lock_guard lock(m_lock);
            std::swap(locked, m_doorLocked);
        }
        if (locked) m_actions->PreventRemoval(Target(), false);
    }

private:
    // Removable media may be handled by every client; fixed volumes only by
    // administrators. The machine's own requests (no client) always may.
    bool Permitted() const {
        const auto process = kern::CurrentProcess();
        return m_removable || !process || process->MayManageVolumes();
    }
    VolumeTarget Target() {
        std::lock_guard lock(m_lock);
        return m_target;
    }
    bool Mounted() {
        std::lock_guard lock(m_lock);
        return m_mounted;
    }

    const std::shared_ptr<VolumeActions> m_actions;
    const bool m_removable;
    std::mutex m_lock;  // guards the target and the flags
    VolumeTarget m_target;
    bool m_mounted = false;
    bool m_doorLocked = false;
};

RealMachine::RealMachine() = default;

RealMachine::~RealMachine() { Stop(); }

NTSTATUS RealMachine::Build(const RealMachineOptions& options, std::string* error) {
    std::lock_guard lock(m_lock);
    m_options = options;
    m_files = SystemFiles(options.system_root);
    m_actions = options.actions ? options.actions : MakeVolumeActions();
    ResetKernel({});
    const auto fail = [&](NTSTATUS status, const std::string& what) {
        if (error) *error = what + ": " + sim::StatusText(status);
        return status;
    };
    NTSTATUS status = sim::CreateSimDriver(u"\\Driver\\Disk", &m_storageDriver);
    if (!NT_SUCCESS(status)) return fail(status, "storage driver");
    sim::FileSystemSpec redirector;
    redirector.name = u"LanmanRedirector";
    redirector.driver_name = u"\\FileSystem\\MRxSmb";
    redirector.device_name = kRedirectorDevice;
    redirector.type = FILE_DEVICE_NETWORK_FILE_SYSTEM;
    m_redirector = std::make_unique<sim::FileSystem>(redirector);
    status = m_redirector->Create();
    if (!NT_SUCCESS(status)) return fail(status, "network redirector");
    m_redirector->Register();
    const auto modules = options.modules.empty() ? sim::DefaultScenario().modules : options.modules;
    for (const auto& module : modules) {
        const std::string path = module.path.starts_with('/') ? module.path : options.driver_directory + "/" + module.path;
        PDRIVER_OBJECT driver = nullptr;
        std::string why;
        status = LoadDriverModule(path, module.name, &driver, &why);
        if (!NT_SUCCESS(status)) return fail(status, "module " + path + " (" + why + ")");
    }
    m_sampler = std::make_unique<ActivitySampler>(
        m_files, options.period, [this](std::uint64_t id, Busy busy) { OnActivity(id, busy); }, options.linger);
    Refresh();
    if (options.watch) {
        m_sampler->Start();
        m_watcher = std::make_unique<ChangeWatcher>(m_files, [this] { Refresh(); });
        m_watcher->Start();
    }
    return STATUS_SUCCESS;
}

void RealMachine::Stop() {
    if (m_watcher) m_watcher->Stop();
    if (m_sampler) m_sampler->Stop();
    std::lock_guard lock(m_lock);
    for (auto& [key, volume] : m_volumes) StopActivity(*volume);
    for (auto& [key, storage] : m_storage)
        if (storage->backing) storage->backing->ReleaseDoor();
}

void RealMachine::Refresh() {
    std::lock_guard lock(m_lock);
    RefreshStorage(ScanBlockDevices(m_files));
    const auto mounts = ParseMountInfo(m_files.Read("/proc/self/mountinfo").value_or(""));
    RefreshVolumes(mounts);
    RefreshNetwork(mounts);
}

// ---------------------------------------------------------------------------
// Storage devices

void RealMachine::RefreshStorage(const std::vector<BlockDevice>& devices) {
    std::set<std::string> seen;
    for (const BlockDevice& d : devices) {
        if (d.kind == StorageKind::Disk || d.kind == StorageKind::VirtualDisk) {
            seen.insert("disk:" + d.name);
            if (!m_diskNumbers.count(d.name)) {  // a new disk takes the lowest free number
                std::set<int> used;
                for (const auto& [name, number] : m_diskNumbers) used.insert(number);
                int n = 0;
                while (used.count(n)) ++n;
                m_diskNumbers[d.name] = n;
            }
        }
        const std::vector<BlockPartition> parts = d.kind == StorageKind::Tape ? std::vector<BlockPartition>{{d.name, 0, 0, 0}} : d.partitions;
        for (const BlockPartition& p : parts) {
            seen.insert(p.name);
            const auto it = m_storage.find(p.name);
            const bool same = it != m_storage.end() && it->second->partition.major == p.major &&
                              it->second->partition.minor == p.minor && it->second->present;
            if (same) continue;
            if (it != m_storage.end()) Drop(p.name);
            AddStorage(d, p, d.unit >= 0 ? d.unit : m_diskNumbers[d.name]);
        }
    }
    std::vector<std::string> gone;
    for (const auto& [name, storage] : m_storage)
        if (storage->present && !seen.count(name)) gone.push_back(name);
    for (const auto& name : gone) Drop(name);
    std::erase_if(m_diskNumbers, [&](const auto& entry) { return !seen.count("disk:" + entry.first); });
}

RealMachine::Storage* RealMachine::AddStorage(const BlockDevice& drive, const BlockPartition& partition,
                                              int disk_number) {
    auto storage = std::make_unique<Storage>();
    storage->drive = drive;
    storage->partition = partition;
    storage->sysfs = partition.name == drive.name ? drive.sysfs : drive.sysfs + "/" + partition.name;
    sim::StorageSpec spec;
    spec.type = DeviceTypeOf(drive.kind);
    spec.removable = drive.removable;
    spec.floppy = drive.kind == StorageKind::Floppy;
    const ULONG number = ULONG(disk_number);
    switch (drive.kind) {
        case StorageKind::CdRom: spec.name = U16("\\Device\\CdRom" + std::to_string(number)); break;
        case StorageKind::Floppy: spec.name = U16("\\Device\\Floppy" + std::to_string(number)); break;
        case StorageKind::Tape: spec.name = U16("\\Device\\Tape" + std::to_string(number)); break;
        default:
            spec.name = U16("\\Device\\HarddiskVolume" + std::to_string(m_nextVolumeNumber++));
            storage->partition_link = U16(plat::Format("\\Device\\Harddisk%u\\Partition%u", number, partition.number));
    }
    const bool disk = drive.kind == StorageKind::Disk || drive.kind == StorageKind::VirtualDisk;
    spec.number = STORAGE_DEVICE_NUMBER{spec.type, number, disk ? partition.number : 0xFFFFFFFFu};
    // An object left by a drive that went away may hold the name: it is
    // retired under a name of its own first.
    for (auto it = m_storage.begin(); it != m_storage.end(); ++it)
        if (!it->second->present && it->second->name == spec.name) {
            m_storage.erase(it);
            break;
        }
    storage->name = spec.name;
    storage->device = std::make_unique<sim::StorageDevice>(spec);
    if (!NT_SUCCESS(storage->device->Create(m_storageDriver))) return nullptr;
    storage->backing = std::make_shared<Backing>(m_actions, drive.removable);
    storage->device->SetBacking(storage->backing);
    if (!storage->partition_link.empty()) {
        CreateDirectoryPath(storage->partition_link.substr(0, storage->partition_link.rfind(u'\\')));
        UnicodeText link(storage->partition_link), target(storage->name);
        IoCreateSymbolicLink(&link.us, &target.us);
    }
    Storage* raw = storage.get();
    m_storage[partition.name] = std::move(storage);
    return raw;
}

// A storage device whose block device left: its volume is dismounted and
// deleted, so filters detach, and its links go. The device object stays
// (open files may still name it) until a new one needs its name.
void RealMachine::Drop(const std::string& key) {
    if (const auto it = m_volumes.find(key); it != m_volumes.end()) {
        Mounted& volume = *it->second;
        if (volume.mounted) Dismount(volume);
        if (sim::FileSystem* fs = FileSystemFor(volume.fs_type, volume.storage->drive.kind))
            fs->DeleteVolume(volume.storage->device->Device());
        m_volumes.erase(it);
    }
    const auto s = m_storage.find(key);
    if (s == m_storage.end()) return;
    Storage& storage = *s->second;
    if (!storage.partition_link.empty()) {
        UnicodeText link(storage.partition_link);
        IoDeleteSymbolicLink(&link.us);
    }
    storage.present = false;
    // Keep the object alive but out of the key space.
    auto retired = std::move(s->second);
    m_storage.erase(s);
    m_storage["retired:" + std::to_string(m_nextId++)] = std::move(retired);
}

// ---------------------------------------------------------------------------
// Volumes

RealMachine::Storage* RealMachine::StorageOfMount(const MountEntry& entry) {
    for (auto& [key, storage] : m_storage)
        if (storage->present && entry.major != 0 && storage->partition.major == entry.major &&
            storage->partition.minor == entry.minor)
            return storage.get();
    // File systems with an anonymous device number (btrfs) by their source.
    if (!entry.source.starts_with("/dev/")) return nullptr;
    std::string name = entry.source.substr(entry.source.rfind('/') + 1);
    if (entry.source.starts_with("/dev/mapper/"))
        for (const auto& dm : m_files.List("/sys/block"))
            if (m_files.ReadLine("/sys/block/" + dm + "/dm/name") == name) name = dm;
    const auto it = m_storage.find(name);
    return it != m_storage.end() && it->second->present ? it->second.get() : nullptr;
}

LetterMask RealMachine::LettersInUse() const {
    LetterMask mask = 0;
    for (const auto& [key, volume] : m_volumes)
        if (volume->letter && volume->mounted) mask |= LetterBit(volume->letter);
    return mask;
}

WCHAR RealMachine::StoredLetter(const std::string& identity) const {
    const auto stored = m_letters.Load();
    const auto it = stored.find(identity);
    return it == stored.end() ? 0 : it->second;
}

WCHAR RealMachine::AssignLetter(LetterPool pool, const std::string& identity, LetterMask in_use) {
    const auto stored = m_letters.Load();
    LetterMask reserved = 0;
    WCHAR own = 0;
    for (const auto& [id, letter] : stored) {
        if (id == identity) own = letter;
        else reserved |= LetterBit(letter);
    }
    const WCHAR letter = ChooseLetter(pool, own, in_use, reserved);
    if (letter && letter != own) m_letters.Store(identity, letter);
    return letter;
}

void RealMachine::Link(WCHAR letter, const std::u16string& target) {
    if (!letter) return;
    UnicodeText link(DosName(letter)), to(target);
    IoDeleteSymbolicLink(&link.us);
    IoCreateSymbolicLink(&link.us, &to.us);
}

void RealMachine::Unlink(WCHAR letter) {
    if (!letter) return;
    UnicodeText link(DosName(letter));
    IoDeleteSymbolicLink(&link.us);
}

sim::FileSystem* RealMachine::FileSystemFor(const std::string& fs_type, StorageKind kind) {
    const bool optical = kind == StorageKind::CdRom;
    const std::u16string name = U16(optical ? fs_type + "-optical" : fs_type);
    for (auto& fs : m_fileSystems)
        if (fs->Spec().name == name) return fs.get();
    sim::FileSystemSpec spec;
    spec.name = name;
    spec.driver_name = u"\\FileSystem\\" + name;
    spec.device_name = u"\\" + name;
    spec.type = optical ? FILE_DEVICE_CD_ROM_FILE_SYSTEM : FILE_DEVICE_DISK_FILE_SYSTEM;
    auto fs = std::make_unique<sim::FileSystem>(spec);
    if (!NT_SUCCESS(fs->Create())) return nullptr;
    fs->Register();  // filters attach to it now
    m_fileSystems.push_back(std::move(fs));
    return m_fileSystems.back().get();
}

void RealMachine::RefreshVolumes(const std::vector<MountEntry>& mounts) {
    // Mounts by storage device, in the order they were made.
    std::vector<std::pair<Storage*, std::vector<const MountEntry*>>> wanted;
    for (const MountEntry& entry : mounts) {
        if (KindOfMount(entry) != MountKind::Volume) continue;
        Storage* storage = StorageOfMount(entry);
        if (!storage) continue;
        const auto it = std::find_if(wanted.begin(), wanted.end(), [&](const auto& w) { return w.first == storage; });
        if (it == wanted.end()) wanted.push_back({storage, {&entry}});
        else it->second.push_back(&entry);
    }
    // Unmounted first, so that their letters are free for what comes.
    for (auto& [key, volume] : m_volumes) {
        if (volume->network || !volume->mounted) continue;
        const Storage* storage = volume->storage;  // a structured binding cannot be captured before clang 16
        const bool still = std::any_of(wanted.begin(), wanted.end(), [&](const auto& w) { return w.first == storage; });
        if (!still) Dismount(*volume);
    }
    LetterMask in_use = LettersInUse();
    for (const auto& [storage, entries] : wanted) MountNew(*storage, entries, &in_use);
}

void RealMachine::MountNew(Storage& storage, const std::vector<const MountEntry*>& entries, LetterMask* in_use) {
    const MountEntry& first = *entries.front();
    const std::string database = plat::Format("/run/udev/data/b%u:%u", storage.partition.major, storage.partition.minor);
    const auto udev_text = m_files.Read(database);
    const UdevFacts udev = ParseUdevData(udev_text.value_or(""));
    const std::string identity = VolumeIdentity(udev.uuid, storage.partition.name);
    std::vector<std::string> points;
    for (const MountEntry* e : entries) points.push_back(e->mount_point);
    std::string label = udev.label;
    if (!udev_text && m_files.Live()) label = LabelFromFileSystem(first.mount_point);
    ULONG serial = udev.uuid.empty() ? (m_files.Live() ? SerialFromFileSystem(first.mount_point) : 0) : SerialFromUuid(udev.uuid);

    auto it = m_volumes.find(storage.partition.name);
    if (it != m_volumes.end()) {
        Mounted& known = *it->second;
        const bool same = known.identity == identity && known.fs_type == first.fs_type;
        if (same && known.mounted) {
            known.mount_points = points;
            storage.backing->Set({storage.partition.name, storage.drive.name, storage.drive.kind, points}, true);
            if (known.label != label) SetLabel(known, label);
            return;
        }
        // A volume that left and came back is mounted again on the device it
        // kept, if it would keep its letter (a letter stored for it meanwhile,
        // as lumetra-reg sets one, wins); anything else starts afresh.
        const WCHAR stored = StoredLetter(identity);
        if (!same || ChooseLetter(PoolOf(first, storage.drive.kind), stored ? stored : known.letter, *in_use, 0) !=
                         known.letter) {
            if (known.mounted) Dismount(known);
            if (sim::FileSystem* fs = FileSystemFor(known.fs_type, storage.drive.kind))
                fs->DeleteVolume(storage.device->Device());
            m_volumes.erase(it);
            it = m_volumes.end();
        }
    }
    auto volume = it != m_volumes.end() ? std::move(it->second) : std::make_unique<Mounted>();
    if (it == m_volumes.end()) {
        volume->id = m_nextId++;
        volume->storage = &storage;
        volume->identity = identity;
        volume->fs_type = first.fs_type;
        volume->letter = AssignLetter(PoolOf(first, storage.drive.kind), identity, *in_use);
    }
    volume->label = label;
    volume->serial = serial;
    volume->mount_points = points;
    sim::FileSystem* fs = FileSystemFor(volume->fs_type, storage.drive.kind);
    if (!fs) return;
    sim::VolumeSpec spec;
    spec.file_system = fs->Spec().name;
    spec.label = LabelText(label);
    spec.serial = serial;
    spec.mount_point = first.mount_point;
    storage.device->SetVolume(spec);
    storage.backing->Set({storage.partition.name, storage.drive.name, storage.drive.kind, points}, true);
    Link(volume->letter, storage.name);
    if (!NT_SUCCESS(MountVolume(storage.device->Device()))) {
        Unlink(volume->letter);
        return;
    }
    volume->mounted = true;
    if (volume->letter) *in_use |= LetterBit(volume->letter);
    PFILE_OBJECT file = nullptr;
    if (NT_SUCCESS(OpenFile(storage.name + u"\\", GENERIC_READ | GENERIC_WRITE, KernelMode, &file)))
        StartActivity(*volume, file, fs->VolumeOf(storage.device->Device()));
    m_volumes[storage.partition.name] = std::move(volume);
}

// Linux unmounted the volume (or a program dismounted it through the
// host): the dismount travels down its stack, and its letter goes.
void RealMachine::Dismount(Mounted& volume) {
    StopActivity(volume);
    volume.mounted = false;
    Unlink(volume.letter);
    if (volume.network) return;
    Storage& storage = *volume.storage;
    storage.backing->Set({storage.partition.name, storage.drive.name, storage.drive.kind, {}}, false);
    sim::FileSystem* fs = FileSystemFor(volume.fs_type, storage.drive.kind);
    sim::Volume* files = fs ? fs->VolumeOf(storage.device->Device()) : nullptr;
    if (!files || files->Dismounted()) return;  // a program dismounted it already
    PFILE_OBJECT file = nullptr;
    if (!NT_SUCCESS(OpenFile(storage.name + u"\\", GENERIC_READ, KernelMode, &file))) return;
    DeviceControl(file, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, KernelMode);
    CloseFile(file);
}

void RealMachine::SetLabel(Mounted& volume, const std::string& label) {
    volume.label = label;
    Storage& storage = *volume.storage;
    sim::VolumeSpec spec = *storage.device->Spec().volume;
    spec.label = LabelText(label);
    storage.device->SetVolume(spec);
    const ULONG bytes = ULONG(spec.label.size() * sizeof(WCHAR));
    FileRequest request{IRP_MJ_SET_VOLUME_INFORMATION, 0, FileFsLabelInformation, 0, {}};
    request.input.resize(offsetof(FILE_FS_LABEL_INFORMATION, VolumeLabel) + bytes);
    std::memcpy(request.input.data(), &bytes, sizeof bytes);
    std::memcpy(request.input.data() + offsetof(FILE_FS_LABEL_INFORMATION, VolumeLabel), spec.label.data(), bytes);
    request.length = ULONG(request.input.size());
    PFILE_OBJECT file = nullptr;
    if (!NT_SUCCESS(OpenFile(storage.name + u"\\", GENERIC_READ | GENERIC_WRITE, KernelMode, &file))) return;
    SendFileRequest(file, request);
    CloseFile(file);
}

// ---------------------------------------------------------------------------
// Network mounts

void RealMachine::RefreshNetwork(const std::vector<MountEntry>& mounts) {
    std::vector<std::pair<std::string, std::vector<const MountEntry*>>> wanted;  // by UNC name
    for (const MountEntry& entry : mounts) {
        if (KindOfMount(entry) != MountKind::Network) continue;
        const std::string unc = UncNameOf(entry);
        if (unc.empty()) continue;
        const auto it = std::find_if(wanted.begin(), wanted.end(), [&](const auto& w) { return w.first == unc; });
        if (it == wanted.end()) wanted.push_back({unc, {&entry}});
        else it->second.push_back(&entry);
    }
    bool gone = false;
    for (auto it = m_volumes.begin(); it != m_volumes.end();) {
        const bool still = it->second->network && std::any_of(wanted.begin(), wanted.end(), [&](const auto& w) {
                               return w.first == it->second->unc;
                           });
        if (!it->second->network || still) {
            ++it;
            continue;
        }
        Dismount(*it->second);
        it = m_volumes.erase(it);
        gone = true;
    }
    // The filter keeps a network letter's record until its redirector goes:
    // restarting the redirector drops the records of the shares that left.
    if (gone) RebuildRedirector();
    LetterMask in_use = LettersInUse();
    for (const auto& [unc, entries] : wanted) {
        auto& slot = m_volumes["net:" + unc];
        if (slot) {
            slot->mount_points.clear();
            for (const MountEntry* e : entries) slot->mount_points.push_back(e->mount_point);
            continue;
        }
        auto share = std::make_unique<Mounted>();
        share->id = m_nextId++;
        share->network = true;
        share->unc = unc;
        share->fs_type = entries.front()->fs_type;
        share->identity = "NETWORK:" + unc;
        for (const MountEntry* e : entries) share->mount_points.push_back(e->mount_point);
        share->letter = AssignLetter(LetterPool::Network, share->identity, in_use);
        if (share->letter) in_use |= LetterBit(share->letter);
        StartNetwork(*share);
        slot = std::move(share);
    }
}

// A create of the share's root on the redirector makes the filter's record
// for the letter; the activity requests then travel on that file.
bool RealMachine::StartNetwork(Mounted& share) {
    std::u16string name = U16(share.unc.substr(1));  // "\server\share"
    if (share.letter) name = U16(plat::Format("\\;%c:%s", char(share.letter), kLogonId)) + name;
    const std::u16string path = kRedirectorDevice + name;
    Link(share.letter, path);
    PFILE_OBJECT file = nullptr;
    if (!NT_SUCCESS(OpenFile(path, GENERIC_READ | GENERIC_WRITE, KernelMode, &file))) return false;
    share.mounted = true;
    StartActivity(share, file, m_redirector->NetworkFiles());
    if (share.fs_type.starts_with("nfs")) m_sampler->AddNfsMount(share.id, share.mount_points.front());
    if (share.fs_type == "cifs" || share.fs_type == "smb3" || share.fs_type == "smbfs") m_sampler->AddCifsShare(share.id, share.unc);
    return true;
}

void RealMachine::RebuildRedirector() {
    for (auto& [key, volume] : m_volumes)
        if (volume->network) StopActivity(*volume);
    m_redirector->Unregister();
    m_redirector->Register();
    for (auto& [key, volume] : m_volumes)
        if (volume->network) StartNetwork(*volume);
}

// ---------------------------------------------------------------------------
// Activity

void RealMachine::StartActivity(Mounted& volume, PFILE_OBJECT file, sim::Volume* files) {
    volume.activity = file;
    if (!files) return;
    files->Engine().HoldRequestsOn(file);
    {
        std::lock_guard lock(m_activityLock);
        m_held[volume.id] = Held{file, files, false, false};
    }
    if (!volume.network)
        m_sampler->AddBlockDevice(volume.id, volume.storage->partition.major, volume.storage->partition.minor,
                                  volume.storage->sysfs);
}

void RealMachine::StopActivity(Mounted& volume) {
    if (!volume.activity) return;
    m_sampler->Remove(volume.id);  // no sink call for it runs after this
    Held held;
    {
        std::lock_guard lock(m_activityLock);
        if (const auto it = m_held.find(volume.id); it != m_held.end()) {
            held = it->second;
            m_held.erase(it);
        }
    }
    if (held.files) {
        held.files->Engine().CompleteHeld(sim::RequestClass::Other, STATUS_SUCCESS, false, held.file);
        held.files->Engine().Release(held.file);
    }
    CloseFile(volume.activity);
    volume.activity = nullptr;
}

// Runs on the sampler's thread. A volume that turns busy gets one request
// held on its stack, so the filter counts it in flight; a quiet one has it
// completed, as a disk's interrupt would, at DISPATCH_LEVEL.
void RealMachine::OnActivity(std::uint64_t id, Busy busy) {
    std::lock_guard lock(m_activityLock);
    const auto it = m_held.find(id);
    if (it == m_held.end()) return;
    Held& h = it->second;
    const auto apply = [&](bool want, bool* have, UCHAR major, sim::RequestClass cls) {
        if (want == *have) return;
        if (want) StartFileRequest(h.file, {major, 0, 0, kActivityLength, {}});
        else h.files->Engine().CompleteHeld(cls, STATUS_SUCCESS, false, h.file);
        *have = want;
    };
    apply(busy.reading, &h.reading, IRP_MJ_READ, sim::RequestClass::Read);
    apply(busy.writing, &h.writing, IRP_MJ_WRITE, sim::RequestClass::Write);
}

// ---------------------------------------------------------------------------
// Clients

DriveInfo RealMachine::QueryDrive(WCHAR letter) {
    DriveInfo info;
    {
        std::lock_guard lock(m_lock);
        const auto it = std::find_if(m_volumes.begin(), m_volumes.end(), [&](const auto& v) {
            return v.second->mounted && v.second->letter == letter;
        });
        if (it == m_volumes.end()) return info;
        const Mounted& v = *it->second;
        if (v.network) info.type = DRIVE_REMOTE;
        else if (v.storage->drive.kind == StorageKind::CdRom) info.type = DRIVE_CDROM;
        else info.type = v.storage->drive.removable ? DRIVE_REMOVABLE : DRIVE_FIXED;
        info.mount_point = v.mount_points.empty() ? "" : v.mount_points.front();
    }
    // Asked at the time of the question, outside the lock: a network file
    // system may take long to answer.
    info.space_status = SpaceOf(info.mount_point, &info.total_bytes, &info.free_bytes);
    return info;
}

std::vector<VolumeView> RealMachine::Volumes() {
    std::lock_guard lock(m_lock);
    std::vector<VolumeView> views;
    for (const auto& [key, v] : m_volumes) {
        VolumeView view;
        view.letter = v->letter;
        view.network = v->network;
        view.mounted = v->mounted;
        view.device = v->network ? v->unc : v->storage->partition.name;
        view.storage = v->network ? "" : U8(v->storage->name);
        if (!v->network && v->storage->device->Spec().number) view.number = *v->storage->device->Spec().number;
        view.fs_type = v->fs_type;
        view.mount_point = v->mount_points.empty() ? "" : v->mount_points.front();
        view.identity = v->identity;
        view.label = v->label;
        view.serial = v->serial;
        views.push_back(view);
    }
    std::sort(views.begin(), views.end(), [](const auto& a, const auto& b) {
        return (a.letter ? a.letter : 0x100) < (b.letter ? b.letter : 0x100);
    });
    return views;
}

std::string RealMachine::Help() {
    return "drives | volumes | refresh | namespace | pool\n"
           "(the real machine: volumes, letters and activity follow Linux; the simulated machine's commands are refused)\n";
}

CommandResult RealMachine::ListVolumes() {
    std::string text;
    for (const VolumeView& v : Volumes()) {
        text += plat::Format("%c: %-9s %-8s %-24s %s", v.letter ? char(v.letter) : '-', v.mounted ? "mounted" : "dismounted",
                             v.fs_type.c_str(), v.device.c_str(), v.mount_point.c_str());
        if (!v.network)
            text += plat::Format("  disk %lu partition %ld serial %08lX", static_cast<unsigned long>(v.number.DeviceNumber),
                                 static_cast<long>(LONG(v.number.PartitionNumber)), static_cast<unsigned long>(v.serial));
        text += "  " + v.identity + (v.label.empty() ? "" : "  \"" + v.label + "\"") + "\n";
    }
    return {STATUS_SUCCESS, text.empty() ? "no volumes\n" : text};
}

CommandResult RealMachine::ListDrives() {
    static const char* const kTypes[] = {"unknown", "none", "removable", "fixed", "remote", "cdrom"};
    std::string text;
    for (WCHAR letter = u'A'; letter <= u'Z'; ++letter) {
        const DriveInfo info = QueryDrive(letter);
        if (info.type == DRIVE_NO_ROOT_DIR) continue;
        text += plat::Format("%c: %-9s %s", char(letter), kTypes[info.type], info.mount_point.c_str());
        if (NT_SUCCESS(info.space_status))
            text += plat::Format("  total %llu free %llu", static_cast<unsigned long long>(info.total_bytes),
                                 static_cast<unsigned long long>(info.free_bytes));
        else
            text += "  (" + sim::StatusText(info.space_status) + ")";
        text += "\n";
    }
    return {STATUS_SUCCESS, text};
}

CommandResult RealMachine::Execute(const std::vector<std::string>& args) {
    if (args.empty()) return {STATUS_INVALID_PARAMETER, "usage: a command; try \"help\"\n"};
    const std::string& verb = args[0];
    if (verb == "help") return {STATUS_SUCCESS, Help()};
    if (verb == "drives") return ListDrives();
    if (verb == "volumes") return ListVolumes();
    if (verb == "refresh") {
        Refresh();
        return {STATUS_SUCCESS, "refreshed\n"};
    }
    if (CommandResult listing; sim::RunListingCommand(verb, &listing)) return listing;
    static const char* const kSimulated[] = {"mount", "dismount", "remount", "label", "delete", "eject", "insert",
                                             "failattach", "hold", "complete", "fail", "fastio", "netcreate",
                                             "register", "unregister", "remove", "load", "fastiostats", "read",
                                             "write", "query", "set", "flush", "queryea", "setea", "queryvolume",
                                             "querysecurity", "setsecurity", "directory"};
    for (const char* simulated : kSimulated)
        if (verb == simulated) return Refused(verb);
    return {STATUS_INVALID_PARAMETER, "usage: unknown command \"" + verb + "\"; try \"help\"\n"};
}

}  // namespace kern::real
