// The real machine's readers of system files and its pure decisions: the
// mount table, the block layer's counters, the network file systems'
// operation counters, the device database, serial numbers, drive letters and
// busy detection.
#include <gtest/gtest.h>

#include "kernel/real/activity_sampler.h"
#include "kernel/real/disk_stats.h"
#include "kernel/real/drive_letters.h"
#include "kernel/real/mountinfo.h"
#include "kernel/real/network_stats.h"
#include "kernel/real/volume_identity.h"

namespace {

using namespace kern::real;

TEST(MountInfo, FieldsEscapesOptionalFieldsAndBadLines) {
    const auto mounts = ParseMountInfo(
        "26 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
        "garbage line\n"
        "40 26 8:17 / /media/My\\040Stick rw master:3 propagation_from:2 - vfat /dev/sdb1 rw\n"
        "41 26 0:50 / /srv - nfs4 server:/export rw\n"          // no options before the dash
        "42 26 8:x / /bad rw - ext4 /dev/sdc1 rw\n"
        "43 26 0:51 /sub /home rw - btrfs /dev/sda2 rw");       // no final line end
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].mount_point, "/");
    EXPECT_EQ(mounts[0].major, 254u);
    EXPECT_EQ(mounts[1].mount_point, "/media/My Stick");
    EXPECT_EQ(mounts[1].fs_type, "vfat");
    EXPECT_EQ(mounts[1].source, "/dev/sdb1");
    EXPECT_EQ(mounts[2].root, "/sub");
    EXPECT_EQ(mounts[2].minor, 51u);
    EXPECT_TRUE(ParseMountInfo("").empty());
    EXPECT_TRUE(ParseMountInfo("\n\n - - -\n1 2 3:4 - - -\n").empty());
    EXPECT_EQ(UnescapeMountField("a\\134b\\04"), "a\\b\\04") << "an escape cut short stays as it is";
}

TEST(MountInfo, KindsAndNetworkNames) {
    struct Case {
        const char* type;
        std::uint32_t major;
        const char* source;
        MountKind kind;
        const char* unc;
    } cases[] = {
        {"ext4", 8, "/dev/sda1", MountKind::Volume, ""},
        {"btrfs", 0, "/dev/sda2", MountKind::Volume, ""},
        {"tmpfs", 0, "tmpfs", MountKind::Other, ""},
        {"proc", 0, "proc", MountKind::Other, ""},
        {"cgroup2", 0, "cgroup2", MountKind::Other, ""},
        {"overlay", 0, "overlay", MountKind::Other, ""},
        {"squashfs", 7, "/dev/loop3", MountKind::Other, ""},
        {"nfs4", 0, "server:/export/home/", MountKind::Network, "\\\\server\\export\\home"},
        {"cifs", 0, "//nas/public/music", MountKind::Network, "\\\\nas\\public\\music"},
        {"fuse.sshfs", 0, "me@box:/srv/data", MountKind::Network, "\\\\box\\srv\\data"},
        {"fuse.gvfsd-fuse", 0, "gvfsd-fuse", MountKind::Other, ""},
    };
    for (const auto& c : cases) {
        MountEntry e;
        e.fs_type = c.type;
        e.major = c.major;
        e.source = c.source;
        EXPECT_EQ(KindOfMount(e), c.kind) << c.type;
        if (c.kind == MountKind::Network) {
            EXPECT_EQ(UncNameOf(e), c.unc) << c.source;
        }
    }
    MountEntry hostless;
    hostless.source = ":/x";
    EXPECT_EQ(UncNameOf(hostless), "");
}

TEST(DiskStats, PartitionsOldKernelsAndInFlight) {
    const auto stats = ParseDiskStats(
        "   8       0 sda 100 0 800 10 50 0 400 5 2 20 30 0 0 0 0 7 1\n"
        "   8       1 sda1 90 0 720 9 40 0 320 4 1 15 25 3 0 24 1\n"
        "   8       2 sda2 1 2 3 4 5 6 7 8 9 10 11\n"  // a kernel before discards and flushes
        "   8 x bad 1 2 3 4 5 6 7 8 9 10 11\n"
        "   8 3 short 1 2\n");
    ASSERT_EQ(stats.size(), 3u);
    EXPECT_EQ(stats[0].reads, 100u);
    EXPECT_EQ(stats[0].WriteClass(), 50u + 0 + 7) << "writes, discards and flushes";
    EXPECT_EQ(stats[1].name, "sda1");
    EXPECT_EQ(stats[1].in_progress, 1u);
    EXPECT_EQ(stats[1].discards, 3u);
    EXPECT_EQ(stats[2].writes, 5u);
    EXPECT_EQ(stats[2].flushes, 0u);
    const auto wanted = ParseDiskStats("   8       1 sda1 90 0 720 9 40 0 320 4 1 15 25\n"
                                       "   8       2 sda2 1 2 3 4 5 6 7 8 9 10 11\n"
                                       "   8 x bad 1 2 3 4 5 6 7 8 9 10 11\n",
                                       [](std::uint32_t major, std::uint32_t minor) { return major == 8 && minor == 2; });
    ASSERT_EQ(wanted.size(), 1u) << "the lines of other devices are skipped";
    EXPECT_EQ(wanted[0].name, "sda2");
    ASSERT_TRUE(ParseInFlight("       3        1\n"));
    EXPECT_EQ(ParseInFlight("3 1")->writes, 1u);
    EXPECT_FALSE(ParseInFlight("3"));
    EXPECT_FALSE(ParseInFlight("a b"));
}

TEST(NetworkStats, NfsOperationsByMountPoint) {
    const auto nfs = ParseNfsMountStats(
        "device rootfs mounted on / with fstype rootfs\n"
        "device server:/export mounted on /mnt/my\\040share with fstype nfs4 statvers=1.1\n"
        "\topts:\trw,vers=4.2\n"
        "\tREAD: 99 0 0 0 0 0 0 0\n"  // before the per-op block: not an operation line
        "\tper-op statistics\n"
        "\t        NULL: 1 1 0 0 0 0 0 0\n"
        "\t        READ: 10 10 0 1520 41120 0 3 3\n"
        "\t       WRITE: 5 5 0 9 9 0 1 1\n"
        "\t     GETATTR: 7 7 0 0 0 0 0 0\n"
        "\t      COMMIT: 2 2 0 0 0 0 0 0\n"
        "device other mounted on /x with fstype ext4\n"
        "\tper-op statistics\n"
        "\t        READ: 50 0 0 0 0 0 0 0\n");
    ASSERT_EQ(nfs.size(), 1u);
    EXPECT_EQ(nfs.at("/mnt/my share"), (OperationCounts{17, 7}));
}

TEST(NetworkStats, CifsOperationsByShare) {
    const auto cifs = ParseCifsStats(
        "Resources in use\nCIFS Session: 1\n"
        "Total vfs operations: 123 maximum at one time: 2\n"
        "1) \\\\nas\\public\n"
        "SMBs: 170\nBytes read: 0  Bytes written: 0\n"
        "Reads: 4 total 0 failed\nWrites: 3 total 0 failed\nFlushes: 1 total 0 failed\n"
        "QueryInfos: 14 total 0 failed\nCreates: 17 total 0 failed\n"
        "2) \\\\old\\smb1 DISCONNECTED\n"
        "Reads:  6 Bytes: 4096\nWrites: 2 Bytes: 100\n");
    ASSERT_EQ(cifs.size(), 2u);
    EXPECT_EQ(cifs.at("\\\\nas\\public"), (OperationCounts{18, 4}));
    EXPECT_EQ(cifs.at("\\\\old\\smb1"), (OperationCounts{6, 2}));
}

TEST(VolumeIdentity, DeviceDatabaseAndSerials) {
    const UdevFacts facts = ParseUdevData(
        "S:disk/by-uuid/1234-ABCD\nE:ID_FS_UUID=1234-ABCD\nE:ID_FS_LABEL=MY_STICK\n"
        "E:ID_FS_LABEL_ENC=my\\x20stick\nE:ID_FS_TYPE=vfat\nE:broken\n");
    EXPECT_EQ(facts.uuid, "1234-ABCD");
    EXPECT_EQ(facts.label, "my stick") << "the encoded label keeps its case and spaces";
    EXPECT_EQ(facts.fs_type, "vfat");
    EXPECT_EQ(ParseUdevData("E:ID_FS_LABEL=DATA\n").label, "DATA");
    EXPECT_EQ(SerialFromUuid("1234-ABCD"), 0x1234ABCDu);
    EXPECT_EQ(SerialFromUuid("0123456789ABCDEF"), 0x89ABCDEFu) << "NTFS: the low 32 bits";
    EXPECT_EQ(SerialFromUuid("00000001-0000-0002-0000-000300000004"), 1u ^ 2u ^ 3u ^ 4u);
    EXPECT_EQ(SerialFromUuid(""), 0u);
    EXPECT_EQ(VolumeIdentity("1234-ABCD", "sdb1"), "UUID:1234-ABCD");
    EXPECT_EQ(VolumeIdentity("", "vda"), "DEVICE:vda");
}

TEST(DriveLetters, PoolsStoredLettersAndExhaustion) {
    const LetterMask c = LetterBit(u'C');
    EXPECT_EQ(ChooseLetter(LetterPool::Root, u'Q', LetterBit(u'C'), 0), u'C');
    EXPECT_EQ(ChooseLetter(LetterPool::Local, 0, c, 0), u'D');
    EXPECT_EQ(ChooseLetter(LetterPool::Local, u'K', c, 0), u'K') << "a stored letter comes back";
    EXPECT_EQ(ChooseLetter(LetterPool::Local, u'K', c | LetterBit(u'K'), 0), u'D') << "unless another holds it";
    EXPECT_EQ(ChooseLetter(LetterPool::Local, u'A', c, 0), u'D') << "A: is not a local disk's letter";
    EXPECT_EQ(ChooseLetter(LetterPool::Local, 0, c, LetterBit(u'D')), u'E') << "D: is kept for an absent volume";
    EXPECT_EQ(ChooseLetter(LetterPool::Network, 0, c, 0), u'Z');
    EXPECT_EQ(ChooseLetter(LetterPool::Floppy, 0, LetterBit(u'A'), 0), u'B');
    EXPECT_EQ(ChooseLetter(LetterPool::Floppy, 0, LetterBit(u'A') | LetterBit(u'B'), 0), 0);
    LetterMask all = 0;
    for (WCHAR l = u'D'; l <= u'Z'; ++l) all |= LetterBit(l);
    EXPECT_EQ(ChooseLetter(LetterPool::Local, 0, c, all), u'D') << "every letter stored: take over an absent one";
    EXPECT_EQ(ChooseLetter(LetterPool::Local, 0, c | all, 0), 0) << "twenty-six run out";
}

TEST(ActivityDetection, CompletedCountersAndRequestsInFlight) {
    const CounterSample idle{10, 20, 0, 0};
    EXPECT_EQ(DetectActivity(std::nullopt, idle), (Busy{false, false})) << "a first sample knows no change";
    EXPECT_EQ(DetectActivity(std::nullopt, CounterSample{10, 20, 1, 0}), (Busy{true, false}));
    EXPECT_EQ(DetectActivity(idle, idle), (Busy{false, false}));
    EXPECT_EQ(DetectActivity(idle, CounterSample{10, 21, 0, 0}), (Busy{false, true})) << "finished between samples";
    EXPECT_EQ(DetectActivity(idle, CounterSample{10, 20, 0, 2}), (Busy{false, true})) << "not finished yet";
    EXPECT_EQ(DetectActivity(idle, CounterSample{12, 22, 0, 0}), (Busy{true, true}));
}

}  // namespace
