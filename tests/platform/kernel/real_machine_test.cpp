// The real machine on recorded system files: a root directory holds the
// sysfs, /proc and device-database files of a machine, the test changes them
// as Linux would and refreshes, and the unchanged activity filter shows what
// the GUI would see: volumes, letters, flags, labels and activity masks.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "base/clock.h"
#include "blinkor/LedIoctl.h"
#include "kernel/io_requests.h"
#include "kernel/real/real_machine.h"

namespace {

namespace fs = std::filesystem;
using namespace kern::real;

// Lock, dismount, eject and the door lock as recorded by the test.
class RecordingActions final : public VolumeActions {
public:
    std::string Name() const override { return "recording"; }
    NTSTATUS CheckNotBusy(const VolumeTarget&) override { return busy ? STATUS_ACCESS_DENIED : STATUS_SUCCESS; }
    NTSTATUS Unmount(const VolumeTarget& t) override { return log.push_back("unmount " + t.device), STATUS_SUCCESS; }
    NTSTATUS Eject(const VolumeTarget& t) override { return log.push_back("eject " + t.drive), STATUS_SUCCESS; }
    NTSTATUS PreventRemoval(const VolumeTarget& t, bool prevent) override {
        if (door_refused) return STATUS_ACCESS_DENIED;
        log.push_back((prevent ? "prevent removal " : "allow removal ") + t.drive);
        return STATUS_SUCCESS;
    }
    bool busy = false;
    bool door_refused = false;
    std::vector<std::string> log;
};

// Waits (real time, at most 10 s) until `done` holds: the watcher's thread
// brings changes in its own time.
template <typename Done>
bool Eventually(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

constexpr const char* kRootMount = "26 1 254:0 / / rw - ext4 /dev/vda rw";

struct Drive {
    WCHAR letter;
    DWORD type, disk, partition;
    bool removable, dismounted;
    DWORD serial;
    std::u16string label, name;
};

class RealMachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::path(::testing::TempDir()) / ("real-machine-" + std::to_string(getpid()) + "-" + std::to_string(++s_count));
        fs::remove_all(m_root);
        ::setenv("LUMETRA_ROOT", (m_root / "state").c_str(), 1);  // the letter store
        Disk("vda", 254, 0, false, {});  // the root file system on a whole disk
        Mounts({"26 1 254:0 / / rw - ext4 /dev/vda rw"});
        Write("/proc/diskstats", "");
    }
    void TearDown() override {
        m_machine.reset();
        ::unsetenv("LUMETRA_ROOT");
        fs::remove_all(m_root);
    }

    void Write(const std::string& path, const std::string& text) {
        fs::create_directories((m_root.string() + path).substr(0, (m_root.string() + path).rfind('/')));
        std::ofstream(m_root.string() + path) << text;
    }
    void Disk(const std::string& name, int major, int minor, bool removable, const std::vector<int>& partitions) {
        const std::string dir = "/sys/block/" + name;
        Write(dir + "/dev", std::to_string(major) + ":" + std::to_string(minor) + "\n");
        Write(dir + "/removable", removable ? "1\n" : "0\n");
        Write(dir + "/size", "1000\n");
        Write(dir + "/inflight", "0 0\n");
        for (int p : partitions) {
            const std::string part = dir + "/" + name + std::to_string(p);
            Write(part + "/partition", std::to_string(p) + "\n");
            Write(part + "/dev", std::to_string(major) + ":" + std::to_string(minor + p) + "\n");
            Write(part + "/inflight", "0 0\n");
        }
    }
    void Unplug(const std::string& name) { fs::remove_all(m_root.string() + "/sys/block/" + name); }
    // lumetra-reg on the test's state root, as an administrator runs it.
    static int Reg(const std::string& arguments) { return std::system((std::string(LUMETRA_REG_PATH) + " " + arguments).c_str()); }
    // The machine's object names (lumetra-kctl namespace).
    std::string Namespace() { return m_machine->Execute({"namespace"}).text; }
    void Mounts(const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& line : lines) text += line + "\n";
        Write("/proc/self/mountinfo", text);
    }
    void Udev(int major, int minor, const std::string& uuid, const std::string& label) {
        Write("/run/udev/data/b" + std::to_string(major) + ":" + std::to_string(minor),
              "E:ID_FS_UUID=" + uuid + "\nE:ID_FS_LABEL=" + label + "\n");
    }
    // A diskstats line; `in_flight` also goes to the device's inflight file
    // as reads, as the kernel shows them both.
    void Stats(const std::string& name, int major, int minor, int reads, int writes, int in_flight = 0) {
        m_stats[name] = std::to_string(major) + " " + std::to_string(minor) + " " + name + " " + std::to_string(reads) +
                        " 0 0 0 " + std::to_string(writes) + " 0 0 0 " + std::to_string(in_flight) + " 0 0 0 0 0 0 0";
        if (in_flight) Write("/sys/block/" + name + "/inflight", std::to_string(in_flight) + " 0\n");
        std::string text;
        for (const auto& [n, line] : m_stats) text += line + "\n";
        Write("/proc/diskstats", text);
    }

    void Start() {
        m_machine = std::make_unique<RealMachine>();
        RealMachineOptions options;
        options.system_root = m_root.string();
        options.modules = {{BLINKOR_MODULE_PATH, u"\\FileSystem\\Blinkor"}};
        options.watch = m_watch;
        options.linger = m_linger;
        options.actions = m_actions;
        std::string error;
        ASSERT_EQ(m_machine->Build(options, &error), STATUS_SUCCESS) << error;
    }
    void Refresh() { m_machine->Refresh(); }

    // The driver's drive list, volumes and network letters (not the catch-all).
    std::map<WCHAR, Drive> Drives() {
        std::vector<BYTE> out(10240);
        const kern::ControlResult r = Control(IOCTL_LED_GET_DRIVES, &out);
        EXPECT_EQ(r.status, STATUS_SUCCESS);
        std::map<WCHAR, Drive> drives;
        for (std::size_t at = 0; at + 96 <= r.information;) {
            DRIVE_RECORD rec;
            std::memcpy(&rec, out.data() + at, sizeof rec);
            Drive d{rec.Letter, rec.DeviceType, rec.DeviceNumber, rec.PartitionNumber, rec.Removable != 0,
                    rec.Dismounted != 0, rec.SerialNumber, std::u16string(rec.Label, 32), {}};
            d.label.resize(d.label.find(u'\0') == std::u16string::npos ? 32 : d.label.find(u'\0'));
            d.name.resize(rec.NameLength / 2);
            std::memcpy(d.name.data(), out.data() + at + 92, rec.NameLength);
            if (rec.Letter != LED_LETTER_CATCH_ALL) drives[rec.Letter] = d;
            at += 96 + rec.NameLength;
        }
        return drives;
    }
    ACTIVITY_MASKS Activity() {
        std::vector<BYTE> out(8);
        Control(IOCTL_LED_GET_ACTIVITY, &out);
        ACTIVITY_MASKS masks;
        std::memcpy(&masks, out.data(), sizeof masks);
        return masks;
    }
    kern::ControlResult Control(ULONG code, std::vector<BYTE>* out) {
        PFILE_OBJECT file = nullptr;
        EXPECT_EQ(kern::OpenFile(u"\\DosDevices\\Blinkor", GENERIC_READ | GENERIC_WRITE, UserMode, &file), STATUS_SUCCESS);
        const kern::ControlResult r = kern::DeviceControl(file, code, nullptr, 0, out->data(), ULONG(out->size()), UserMode);
        kern::CloseFile(file);
        return r;
    }
    // A program's sequence on "\\.\X:", as the GUI's eject runs it.
    // IOCTL_STORAGE_MEDIA_REMOVAL goes with `prevent`.
    std::vector<NTSTATUS> VolumeRequests(WCHAR letter, const std::vector<ULONG>& codes, BYTE prevent = 0) {
        PFILE_OBJECT file = nullptr;
        std::vector<NTSTATUS> results;
        const std::u16string name = std::u16string(u"\\??\\") + letter + u":";
        if (!NT_SUCCESS(kern::OpenFile(name, GENERIC_READ, UserMode, &file))) return {STATUS_OBJECT_NAME_NOT_FOUND};
        for (ULONG code : codes) {
            const bool removal = code == IOCTL_STORAGE_MEDIA_REMOVAL;
            results.push_back(kern::DeviceControl(file, code, removal ? &prevent : nullptr, removal ? 1 : 0, nullptr, 0, UserMode).status);
            if (!NT_SUCCESS(results.back())) break;
        }
        kern::CloseFile(file);
        return results;
    }

    static inline int s_count = 0;
    fs::path m_root;
    std::map<std::string, std::string> m_stats;
    std::shared_ptr<RecordingActions> m_actions = std::make_shared<RecordingActions>();
    std::unique_ptr<RealMachine> m_machine;
    std::chrono::milliseconds m_linger{0};
    bool m_watch = false;
};

TEST_F(RealMachineTest, RootOnAWholeDiskIsCAndPseudoFileSystemsAndSecondMountsAreNot) {
    Disk("sda", 8, 0, false, {1, 2});
    Disk("loop3", 7, 3, false, {});
    Udev(8, 1, "0123456789ABCDEF", "DATA");
    Mounts({"26 1 254:0 / / rw - ext4 /dev/vda rw", "21 26 0:20 / /proc rw - proc proc rw",
            "24 26 0:22 / /dev/shm rw - tmpfs tmpfs rw", "30 26 0:27 / /var/lib/docker/x rw - overlay overlay rw",
            "31 26 7:3 / /snap/core/1 ro - squashfs /dev/loop3 ro", "32 26 8:1 / /data rw - ntfs3 /dev/sda1 rw",
            "33 26 8:1 /sub /srv/sub rw - ntfs3 /dev/sda1 rw"});
    Start();
    const auto drives = Drives();
    ASSERT_EQ(drives.size(), 2u);
    const Drive& c = drives.at(u'C');
    EXPECT_EQ(c.disk, 1u) << "SCSI disks are numbered first";
    EXPECT_EQ(c.partition, 1u) << "a whole-disk file system is partition 1";
    EXPECT_EQ(c.type, DWORD(FILE_DEVICE_DISK));
    const Drive& d = drives.at(u'D');
    EXPECT_EQ(d.disk, 0u);
    EXPECT_EQ(d.partition, 1u);
    EXPECT_EQ(d.label, u"DATA");
    EXPECT_EQ(d.serial, 0x89ABCDEFu);
    EXPECT_FALSE(d.removable);
    EXPECT_EQ(m_machine->QueryDrive(u'D').mount_point, "/data") << "the first mount point";
    EXPECT_EQ(m_machine->QueryDrive(u'D').type, DRIVE_FIXED);
    EXPECT_EQ(m_machine->QueryDrive(u'E').type, DRIVE_NO_ROOT_DIR);
}

TEST_F(RealMachineTest, AUsbStickIsPluggedMountedRefusedWhileBusyAndEjected) {
    Start();
    Disk("sdb", 8, 16, true, {1});
    Refresh();
    EXPECT_EQ(Drives().size(), 1u) << "plugged but not mounted: no volume yet";
    Udev(8, 17, "1234-ABCD", "STICK");
    Mounts({"26 1 254:0 / / rw - ext4 /dev/vda rw", "40 26 8:17 / /media/me/STICK rw - vfat /dev/sdb1 rw"});
    Refresh();
    auto drives = Drives();
    ASSERT_TRUE(drives.count(u'D'));
    EXPECT_TRUE(drives[u'D'].removable);
    EXPECT_EQ(drives[u'D'].serial, 0x1234ABCDu);
    EXPECT_EQ(drives[u'D'].label, u"STICK");
    EXPECT_EQ(m_machine->QueryDrive(u'D').type, DRIVE_REMOVABLE);

    const std::vector<ULONG> eject = {FSCTL_LOCK_VOLUME, FSCTL_DISMOUNT_VOLUME, IOCTL_STORAGE_MEDIA_REMOVAL,
                                      IOCTL_STORAGE_EJECT_MEDIA};
    m_actions->busy = true;
    EXPECT_EQ(VolumeRequests(u'D', eject), std::vector<NTSTATUS>{STATUS_ACCESS_DENIED}) << "a busy volume refuses the lock";
    EXPECT_TRUE(m_actions->log.empty()) << "and nothing was done to it";
    m_actions->busy = false;
    EXPECT_EQ(VolumeRequests(u'D', eject), std::vector<NTSTATUS>(4, STATUS_SUCCESS));
    EXPECT_EQ(m_actions->log, (std::vector<std::string>{"unmount sdb1", "allow removal sdb", "eject sdb"}));
    EXPECT_TRUE(Drives()[u'D'].dismounted);

    Mounts({"26 1 254:0 / / rw - ext4 /dev/vda rw"});  // what Linux shows afterwards
    Unplug("sdb");
    Refresh();
    EXPECT_EQ(Drives().size(), 1u) << "the stick's volume filter is gone";
    EXPECT_EQ(m_machine->QueryDrive(u'D').type, DRIVE_NO_ROOT_DIR);
}

TEST_F(RealMachineTest, LettersAreKeptAcrossRestartAndReplugging) {
    Disk("sdb", 8, 16, true, {1});
    Udev(8, 17, "AAAA-0001", "ONE");
    Mounts({"26 1 254:0 / / rw - ext4 /dev/vda rw", "40 26 8:17 / /media/one rw - vfat /dev/sdb1 rw"});
    Start();
    ASSERT_TRUE(Drives().count(u'D'));
    // Another stick takes sdb's place while the first is away: D: stays the first one's.
    Udev(8, 17, "BBBB-0002", "TWO");
    Mounts({"26 1 254:0 / / rw - ext4 /dev/vda rw", "41 26 8:17 / /media/two rw - vfat /dev/sdb1 rw"});
    Refresh();
    auto drives = Drives();
    EXPECT_FALSE(drives.count(u'D'));
    ASSERT_TRUE(drives.count(u'E'));
    EXPECT_EQ(drives[u'E'].label, u"TWO");
    // Restart with both plugged, the second first in the mount table.
    Disk("sdc", 8, 32, true, {1});
    Udev(8, 33, "AAAA-0001", "ONE");
    Mounts({"26 1 254:0 / / rw - ext4 /dev/vda rw", "41 26 8:17 / /media/two rw - vfat /dev/sdb1 rw",
            "42 26 8:33 / /media/one rw - vfat /dev/sdc1 rw"});
    Start();
    drives = Drives();
    EXPECT_EQ(drives[u'D'].label, u"ONE");
    EXPECT_EQ(drives[u'E'].label, u"TWO");
}

TEST_F(RealMachineTest, AnNfsShareIsANetworkLetterWithActivity) {
    Mounts({"26 1 254:0 / / rw - ext4 /dev/vda rw", "50 26 0:60 / /mnt/nfs rw - nfs4 server:/export rw"});
    const auto nfs_stats = [&](int reads, int writes) {
        Write("/proc/self/mountstats", "device server:/export mounted on /mnt/nfs with fstype nfs4 statvers=1.1\n"
                                       "\tper-op statistics\n\t        READ: " + std::to_string(reads) +
                                           " 0 0 0 0 0 0 0\n\t       WRITE: " + std::to_string(writes) + " 0 0 0 0 0 0 0\n");
    };
    nfs_stats(1, 1);
    Start();
    auto drives = Drives();
    ASSERT_TRUE(drives.count(u'Z'));
    EXPECT_EQ(drives[u'Z'].type, DWORD(LED_DEVICE_TYPE_NETWORK));
    EXPECT_EQ(drives[u'Z'].name, u"\\;Z:0000000000003e7\\server\\export");
    EXPECT_EQ(m_machine->QueryDrive(u'Z').type, DRIVE_REMOTE);
    const DWORD z = 1u << 25;
    m_machine->Sampler().SampleOnce();
    EXPECT_EQ(Activity().ReadMask & z, 0u);
    nfs_stats(3, 1);
    m_machine->Sampler().SampleOnce();
    EXPECT_EQ(Activity().ReadMask & z, z);
    EXPECT_EQ(Activity().WriteMask & z, 0u);
    m_machine->Sampler().SampleOnce();
    EXPECT_EQ(Activity().ReadMask & z, 0u) << "a quiet sample completes the held request";
    // The share leaves: its letter leaves the driver's list too.
    Mounts({"26 1 254:0 / / rw - ext4 /dev/vda rw"});
    Refresh();
    EXPECT_FALSE(Drives().count(u'Z'));
}

TEST_F(RealMachineTest, PartitionCountersLightOnlyTheirOwnVolume) {
    Disk("sda", 8, 0, false, {1});
    Mounts({"26 1 254:0 / / rw - ext4 /dev/vda rw", "32 26 8:1 / /data rw - ext4 /dev/sda1 rw"});
    Stats("vda", 254, 0, 5, 5);
    Stats("sda", 8, 0, 5, 5);
    Stats("sda1", 8, 1, 5, 5);
    Start();
    auto& sampler = m_machine->Sampler();
    sampler.SampleOnce();
    const DWORD c = 1u << 2, d = 1u << 3;
    Stats("sda", 8, 0, 9, 9);  // the whole disk's own line alone
    sampler.SampleOnce();
    EXPECT_EQ(Activity().ReadMask | Activity().WriteMask, 0u);
    Stats("sda1", 8, 1, 5, 6);
    sampler.SampleOnce();
    EXPECT_EQ(Activity().WriteMask, d);
    EXPECT_EQ(Activity().ReadMask, 0u);
    Stats("vda", 254, 0, 5, 5, 1);  // a read still in flight
    sampler.SampleOnce();
    EXPECT_EQ(Activity().ReadMask, c);
    EXPECT_EQ(Activity().WriteMask, 0u) << "no change since the last sample: quiet again";
}

TEST_F(RealMachineTest, ABurstStaysLitForOnePollAfterItsLastActivity) {
    plat::ScopedManualClock clock;
    m_linger = std::chrono::milliseconds(50);
    Stats("vda", 254, 0, 5, 5);
    Start();
    auto& sampler = m_machine->Sampler();
    sampler.SampleOnce();
    Stats("vda", 254, 0, 5, 6);
    sampler.SampleOnce();
    const DWORD c = 1u << 2;
    EXPECT_EQ(Activity().WriteMask, c);
    clock->Advance(49);
    sampler.SampleOnce();
    EXPECT_EQ(Activity().WriteMask, c) << "quiet for less than a poll: still lit";
    clock->Advance(1);
    sampler.SampleOnce();
    EXPECT_EQ(Activity().WriteMask, 0u);
}

TEST_F(RealMachineTest, LabelChangesReachTheDriverAndSimulationCommandsAreRefused) {
    Udev(254, 0, "00000001-0000-0002-0000-000300000004", "OLD");
    Start();
    EXPECT_EQ(Drives()[u'C'].label, u"OLD");
    Udev(254, 0, "00000001-0000-0002-0000-000300000004", "NEW");
    Refresh();
    EXPECT_EQ(Drives()[u'C'].label, u"NEW");
    for (const char* verb : {"hold", "fail", "mount", "delete", "eject"}) {
        const auto result = m_machine->Execute({verb, "C:", "read", "1"});
        EXPECT_EQ(result.status, STATUS_NOT_SUPPORTED) << verb;
        EXPECT_NE(result.text.find("simulated machine"), std::string::npos) << result.text;
    }
    EXPECT_NE(m_machine->Execute({"volumes"}).text.find("C: mounted"), std::string::npos);
}

// The watcher on a recorded machine: the device database (a directory that
// inotify watches) changes, and the driver hears of it without a Refresh.
// The mount table's own notification (POLLPRI on /proc/self/mountinfo) comes
// only from the kernel's file, never from a plain one, so here a recorded
// mount is noticed with the device-database entry that udev writes for it.
TEST_F(RealMachineTest, TheWatcherBringsChangesToTheDriverWithoutARefresh) {
    const char* uuid = "00000001-0000-0002-0000-000300000004";
    Udev(254, 0, uuid, "OLD");
    m_watch = true;
    Start();
    EXPECT_EQ(Drives()[u'C'].label, u"OLD");
    Udev(254, 0, uuid, "NEW");
    EXPECT_TRUE(Eventually([&] { return Drives()[u'C'].label == u"NEW"; })) << "a label change";

    Disk("sdb", 8, 16, true, {1});
    Mounts({kRootMount, "40 26 8:17 / /media/me/STICK rw - vfat /dev/sdb1 rw"});
    Udev(8, 17, "1234-ABCD", "STICK");
    EXPECT_TRUE(Eventually([&] { return Drives().count(u'D') == 1; })) << "a stick plugged and mounted";
    Mounts({kRootMount});
    Unplug("sdb");
    fs::remove(m_root / "run/udev/data/b8:17");
    EXPECT_TRUE(Eventually([&] { return Drives().count(u'D') == 0; })) << "the stick unplugged";
}

TEST_F(RealMachineTest, OpticalFloppyTapeAndVirtualDisksShowAsTheirKinds) {
    Disk("sr0", 11, 0, true, {});
    Disk("fd0", 2, 0, false, {});
    Disk("loop0", 7, 0, false, {});
    Disk("loop1", 7, 1, false, {});
    Write("/sys/block/loop1/size", "0\n");  // unbound: no disk
    Write("/sys/class/scsi_tape/st0/dev", "9:0\n");
    Write("/sys/class/scsi_tape/nst0/dev", "9:128\n");  // the same drive, not rewinding
    Mounts({kRootMount, "50 26 7:0 / /mnt/image rw - ext4 /dev/loop0 rw",
            "51 26 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro", "52 26 2:0 / /media/floppy rw - vfat /dev/fd0 rw"});
    Start();
    auto drives = Drives();
    ASSERT_EQ(drives.size(), 4u);
    const Drive& image = drives.at(u'D');
    EXPECT_EQ(image.type, DWORD(FILE_DEVICE_VIRTUAL_DISK));
    EXPECT_EQ(image.disk, 1u) << "virtual disks after the physical ones";
    EXPECT_EQ(image.partition, 1u);
    EXPECT_FALSE(image.removable);
    const Drive& cd = drives.at(u'E');
    EXPECT_EQ(cd.type, DWORD(FILE_DEVICE_CD_ROM));
    EXPECT_EQ(cd.disk, 0u) << "CdRom0";
    EXPECT_TRUE(cd.removable);
    EXPECT_EQ(m_machine->QueryDrive(u'E').type, DRIVE_CDROM);
    const Drive& floppy = drives.at(u'A');
    EXPECT_EQ(floppy.type, LED_DEVICE_TYPE_FLOPPY);
    EXPECT_TRUE(floppy.removable) << "a floppy drive is removable whatever sysfs says";
    EXPECT_EQ(m_machine->QueryDrive(u'A').type, DRIVE_REMOVABLE);

    const std::string names = Namespace();
    EXPECT_NE(names.find("\\Device\\Tape0 "), std::string::npos) << names;
    EXPECT_EQ(names.find("\\Device\\Tape1"), std::string::npos) << "nst0 is st0";
    EXPECT_NE(names.find("\\Device\\CdRom0 "), std::string::npos);
    EXPECT_NE(names.find("\\Device\\Floppy0 "), std::string::npos);
    EXPECT_EQ(names.find("\\Device\\Harddisk2"), std::string::npos) << "the unbound loop1 is no disk";
}

TEST_F(RealMachineTest, AStickUnpluggedAndPluggedBackKeepsItsLetterAndDisksTakeTheLowestFreeNumber) {
    Start();
    const auto plug = [&](const std::string& name, int minor, const std::string& uuid, const std::string& label) {
        Disk(name, 8, minor, true, {1});
        Udev(8, minor + 1, uuid, label);
    };
    plug("sdb", 16, "AAAA-0001", "ONE");
    Mounts({kRootMount, "40 26 8:17 / /media/one rw - vfat /dev/sdb1 rw"});
    Refresh();
    ASSERT_EQ(Drives()[u'D'].label, u"ONE");
    EXPECT_EQ(Drives()[u'D'].disk, 1u);

    Mounts({kRootMount});
    Unplug("sdb");
    Refresh();
    EXPECT_EQ(Drives().count(u'D'), 0u);
    plug("sdb", 16, "BBBB-0002", "TWO");
    Mounts({kRootMount, "41 26 8:17 / /media/two rw - vfat /dev/sdb1 rw"});
    Refresh();
    auto drives = Drives();
    EXPECT_EQ(drives.count(u'D'), 0u) << "D: is kept for the first stick";
    ASSERT_EQ(drives[u'E'].label, u"TWO");
    EXPECT_EQ(drives[u'E'].disk, 1u) << "the number the first stick left";

    plug("sdc", 32, "AAAA-0001", "ONE");  // back, under another name
    Mounts({kRootMount, "41 26 8:17 / /media/two rw - vfat /dev/sdb1 rw", "42 26 8:33 / /media/one rw - vfat /dev/sdc1 rw"});
    Refresh();
    drives = Drives();
    EXPECT_EQ(drives[u'D'].label, u"ONE");
    EXPECT_EQ(drives[u'D'].disk, 2u);
    EXPECT_EQ(drives[u'E'].label, u"TWO");
}

TEST_F(RealMachineTest, ALetterSetWithLumetraRegIsHonouredWhenTheVolumeAppears) {
    ASSERT_EQ(Reg("set 'HKLM\\SYSTEM\\MountedDevices' 'UUID:1234-ABCD' sz F:"), 0);
    Disk("sdb", 8, 16, true, {1});
    Udev(8, 17, "1234-ABCD", "STICK");
    const std::vector<std::string> mounted = {kRootMount, "40 26 8:17 / /media/stick rw - vfat /dev/sdb1 rw"};
    Mounts(mounted);
    Start();
    auto drives = Drives();
    EXPECT_EQ(drives.count(u'D'), 0u);
    EXPECT_EQ(drives[u'F'].label, u"STICK");

    // Changed while it is mounted: the letter moves when it is mounted again.
    ASSERT_EQ(Reg("set 'HKLM\\SYSTEM\\MountedDevices' 'UUID:1234-ABCD' sz G:"), 0);
    Refresh();
    EXPECT_EQ(Drives().count(u'F'), 1u);
    Mounts({kRootMount});
    Refresh();
    Mounts(mounted);
    Refresh();
    drives = Drives();
    EXPECT_EQ(drives.count(u'F'), 0u);
    EXPECT_EQ(drives[u'G'].label, u"STICK");
}

TEST_F(RealMachineTest, CifsAndSshfsSharesTakeNetworkLettersFromZDownwards) {
    Mounts({kRootMount, "60 26 0:70 / /mnt/public rw - cifs //nas/public rw",
            "61 26 0:71 / /home/me/remote rw - fuse.sshfs me@host:/srv/data rw"});
    const auto cifs_stats = [&](int writes) {
        Write("/proc/fs/cifs/Stats", "Resources in use\nCIFS Session: 1\n1) \\\\nas\\public\nSMBs: 9\n"
                                     "Reads: 4 total 0 failed\nWrites: " + std::to_string(writes) + " total 0 failed\n");
    };
    cifs_stats(2);
    Start();
    auto drives = Drives();
    ASSERT_EQ(drives.count(u'Z'), 1u);
    EXPECT_EQ(drives[u'Z'].name, u"\\;Z:0000000000003e7\\nas\\public");
    EXPECT_EQ(drives[u'Z'].type, DWORD(LED_DEVICE_TYPE_NETWORK));
    ASSERT_EQ(drives.count(u'Y'), 1u);
    EXPECT_EQ(drives[u'Y'].name, u"\\;Y:0000000000003e7\\host\\srv\\data");
    EXPECT_EQ(m_machine->QueryDrive(u'Y').type, DRIVE_REMOTE);
    EXPECT_EQ(LetterStore().Load()["NETWORK:\\\\nas\\public"], u'Z');

    const DWORD z = 1u << 25;
    m_machine->Sampler().SampleOnce();
    cifs_stats(3);
    m_machine->Sampler().SampleOnce();
    EXPECT_EQ(Activity().WriteMask, z) << "the share's CIFS counters; sshfs has none";
    EXPECT_EQ(Activity().ReadMask, 0u);
}

TEST_F(RealMachineTest, TheDoorLockReachesTheDriveAndIsReleasedWhenTheHostStops) {
    Disk("sr0", 11, 0, true, {});
    Mounts({kRootMount, "51 26 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro"});
    Start();
    const std::vector<ULONG> removal = {IOCTL_STORAGE_MEDIA_REMOVAL};
    const std::vector<ULONG> eject = {IOCTL_STORAGE_EJECT_MEDIA};
    m_actions->door_refused = true;
    EXPECT_EQ(VolumeRequests(u'D', removal, 1), std::vector<NTSTATUS>{STATUS_ACCESS_DENIED}) << "the drive refused";
    EXPECT_EQ(VolumeRequests(u'D', eject), std::vector<NTSTATUS>{STATUS_SUCCESS}) << "so nothing was locked";
    m_actions->door_refused = false;
    EXPECT_EQ(VolumeRequests(u'D', removal, 1), std::vector<NTSTATUS>{STATUS_SUCCESS});
    EXPECT_EQ(VolumeRequests(u'D', eject), std::vector<NTSTATUS>{STATUS_DEVICE_BUSY}) << "the door is locked";
    m_machine->Stop();
    EXPECT_EQ(m_actions->log, (std::vector<std::string>{"eject sr0", "prevent removal sr0", "allow removal sr0"}))
        << "the host unlocks what it locked";
}

// The busy check on a recorded process file system: each process a folder
// with its working and root directories, program and open files as links.
TEST(VolumeInUse, FindsOpenFilesAndWorkingDirectoriesOnTheVolume) {
    const fs::path root = fs::path(::testing::TempDir()) / ("volume-in-use-" + std::to_string(getpid()));
    fs::remove_all(root);
    const fs::path volume = root / "volume", proc = root / "proc";
    fs::create_directories(volume / "dir");
    std::ofstream(volume / "open.txt") << "x";
    const auto process = [&](const std::string& pid, const fs::path& cwd, const std::vector<fs::path>& fds) {
        fs::create_directories(proc / pid / "fd");
        fs::create_directory_symlink(cwd, proc / pid / "cwd");
        fs::create_directory_symlink("/proc", proc / pid / "root");  // /proc: never the volume's file system
        fs::create_symlink("/proc", proc / pid / "exe");
        for (std::size_t i = 0; i < fds.size(); ++i) fs::create_symlink(fds[i], proc / pid / "fd" / std::to_string(i));
    };
    const std::vector<std::string> points = {volume.string()};
    process("1", "/proc", {"/proc", "/proc/self"});
    fs::create_directories(proc / "net");
    fs::create_directory_symlink(volume, proc / "net" / "cwd");  // not a process
    EXPECT_FALSE(VolumeInUse(points, proc.string())) << "nothing on the volume";
    EXPECT_FALSE(VolumeInUse({(root / "absent").string()}, proc.string())) << "no such mount point";

    process("20", "/proc", {"/proc", volume / "open.txt"});
    EXPECT_TRUE(VolumeInUse(points, proc.string())) << "an open file";
    fs::remove_all(proc / "20");
    process("300", volume / "dir", {});
    EXPECT_TRUE(VolumeInUse(points, proc.string())) << "a working directory";
    EXPECT_FALSE(VolumeInUse({}, proc.string()));
    fs::remove_all(root);
}

}  // namespace
