// The simulated machine with the test filter module loaded above it: the
// scenario builds what it says, and run-time commands reach the file systems
// through the filter's stacks (mounts, held and failed requests, fast I/O,
// locks, ejection, label changes, volume deletion, drive queries).
#include "kernel/io_requests.h"
#include "kernel/sim/machine.h"
#include "kernel_test_support.h"
#include "test_filter.h"

namespace {

using kern::sim::Machine;
using kern::sim::MachineSpec;

const char* const kScenario = R"({
  "version": {"major": 5, "minor": 2, "build": 3790},
  "file_systems": [
    {"name": "Ntfs"},
    {"name": "Cdfs", "type": "cdrom", "fast_io": ["FastIoWrite"]},
    {"name": "Fs_Rec", "device": "\\FileSystem\\FsRecognizer", "recognizer": true},
    {"name": "LanmanRedirector", "type": "network", "driver": "\\FileSystem\\MRxSmb"}
  ],
  "storage": [
    {"name": "\\Device\\HarddiskVolume1", "device_number": {"disk": 0, "partition": 1},
     "volume": {"file_system": "Ntfs", "label": "SYSTEM", "serial": 4660, "total_bytes": 8192000, "free_bytes": 4096000}},
    {"name": "\\Device\\CdRom0", "type": "cdrom", "removable": true,
     "volume": {"file_system": "Cdfs", "label": "DISC", "total_bytes": 65536}},
    {"name": "\\Device\\Floppy0", "floppy": true, "volume": {"file_system": "Ntfs", "mounted": false}}
  ],
  "links": {"\\??\\C:": "\\Device\\HarddiskVolume1", "\\??\\E:": "\\Device\\CdRom0", "\\??\\A:": "\\Device\\Floppy0",
            "\\??\\Z:": "\\Device\\LanmanRedirector\\;Z:0000000000003e7\\server\\share"},
  "modules": [{"path": ")" TEST_FILTER_PATH R"(", "name": "\\FileSystem\\TestFilter"}]
})";

class MachineTest : public ktest::KernelTest {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        std::string error;
        ASSERT_TRUE(kern::sim::ParseScenario(kScenario, &m_spec, &error)) << error;
        ASSERT_EQ(m_machine.Build(m_spec, "", &error), STATUS_SUCCESS) << error;
        m_irpsAtStart = kern::LiveIrpCount();
    }

    TestFilterStats Stats() {
        PFILE_OBJECT file = nullptr;
        TestFilterStats stats{};
        EXPECT_EQ(kern::OpenFile(u"\\DosDevices\\TestFilter", GENERIC_READ, UserMode, &file), STATUS_SUCCESS);
        EXPECT_EQ(kern::DeviceControl(file, TF_GET_STATS, nullptr, 0, &stats, sizeof(stats), UserMode).status,
                  STATUS_SUCCESS);
        kern::CloseFile(file);
        return stats;
    }

    NTSTATUS Run(std::vector<std::string> words) { return m_machine.Execute(words).status; }

    MachineSpec m_spec;
    Machine m_machine;
    std::size_t m_irpsAtStart = 0;
};

TEST(ScenarioTest, BadScenariosNameTheirFault) {
    struct Case {
        const char* json;
        const char* message;
    };
    const Case cases[] = {
        {"{", "not valid JSON"},
        {"[]", "must be a JSON object"},
        {R"({"file_systems": [{"name": "X", "type": "floppyfs"}]})", "file_systems[0].type"},
        {R"({"file_systems": [{"type": "disk"}]})", "file_systems[0].name"},
        {R"({"file_systems": [{"name": "X", "fast_io": ["FastIoTeleport"]}]})", "FastIoTeleport"},
        {R"({"storage": [{"name": "Volume1"}]})", "storage[0].name"},
        {R"({"storage": [{"name": "\\D", "volume": {"label": "x"}}]})", "storage[0].volume.file_system"},
        {R"({"storage": [{"name": "\\D", "volume": {"file_system": "N", "total_bytes": 1, "free_bytes": 2}}]})",
         "free_bytes"},
        {R"({"links": ["\\??\\C:"]})", "links"},
        {R"({"modules": [{"name": "\\FileSystem\\X"}]})", "modules[0].path"},
        // Numbers that a conversion would wrap or that have no integer value.
        {R"({"version": {"build": 5.5e45}})", "version.build: must be a whole number from 0 to 4294967295"},
        {R"({"version": {"major": 4294967296}})", "version.major: must be a whole number"},
        {R"({"version": {"minor": -1}})", "version.minor: must be a whole number"},
        {R"({"version": {"minor": 1.5}})", "version.minor: must be a whole number"},
        {R"({"file_systems": [{"name": "X", "fast_io_size": true}]})", "file_systems[0].fast_io_size: must be"},
    };
    for (const Case& c : cases) {
        MachineSpec spec;
        std::string error;
        EXPECT_FALSE(kern::sim::ParseScenario(c.json, &spec, &error)) << c.json;
        EXPECT_NE(error.find(c.message), std::string::npos) << "error \"" << error << "\" for " << c.json;
    }
}

TEST_F(MachineTest, TheFilterSitsOnEveryFileSystemAndMountedVolume) {
    const TestFilterStats stats = Stats();
    EXPECT_EQ(stats.file_system_filters, 4u);
    EXPECT_EQ(stats.volume_filters, 2u) << "C: and E: are mounted at start, A: is not";
    ULONG major = 0, minor = 0;
    PsGetVersion(&major, &minor, nullptr, nullptr);
    EXPECT_EQ(major * 10 + minor, 52u);
    EXPECT_EQ(Run({"mount", "A:"}), STATUS_SUCCESS);
    EXPECT_EQ(Stats().volume_filters, 3u);
}

TEST_F(MachineTest, HeldRequestsStayInFlightUntilCompletedOrFailed) {
    EXPECT_EQ(Run({"hold", "C:", "read", "2"}), STATUS_SUCCESS);
    EXPECT_EQ(m_machine.FilesOfLetter(u'C')->Engine().HeldCount(), 2u);
    EXPECT_EQ(Stats().reads, 2u);
    EXPECT_EQ(Run({"complete", "C:", "write"}), STATUS_SUCCESS);
    EXPECT_EQ(m_machine.FilesOfLetter(u'C')->Engine().HeldCount(), 2u) << "only writes were completed";
    EXPECT_EQ(Run({"complete", "C:", "STATUS_IO_DEVICE_ERROR"}), STATUS_SUCCESS);
    EXPECT_EQ(m_machine.FilesOfLetter(u'C')->Engine().HeldCount(), 0u);
    EXPECT_EQ(Run({"fail", "C:", "read", "1", "0xC0000185"}), STATUS_SUCCESS);
    EXPECT_EQ(Run({"read", "C:"}), STATUS_IO_DEVICE_ERROR);
    EXPECT_EQ(Run({"read", "C:"}), STATUS_SUCCESS);
    EXPECT_EQ(kern::LiveIrpCount(), m_irpsAtStart);
}

TEST_F(MachineTest, FastIoPassesThroughTheFilterOnlyWhereTheFileSystemHasTheEntry) {
    constexpr std::size_t kFastIoRead = 2, kFastIoWrite = 3;
    EXPECT_EQ(m_machine.Execute({"fastio", "C:", "read"}).text, "fast I/O answered TRUE: 0x00000000 STATUS_SUCCESS\n");
    EXPECT_EQ(m_machine.FindFileSystem(u"Ntfs")->FastIoCalls(kFastIoRead), 1);
    EXPECT_EQ(m_machine.Execute({"fastio", "E:", "read"}).text, "fast I/O declined (FALSE)\n");
    EXPECT_EQ(m_machine.FindFileSystem(u"Cdfs")->FastIoCalls(kFastIoRead), 0);
    EXPECT_EQ(m_machine.FindFileSystem(u"Cdfs")->FastIoCalls(kFastIoWrite), 0) << "the filter has no write entry";
}

TEST_F(MachineTest, LockingNeedsTheOnlyOpenAndEjectingEmptiesTheDrive) {
    PFILE_OBJECT other = nullptr;
    ASSERT_EQ(kern::OpenFile(u"\\??\\E:\\setup.exe", GENERIC_READ, UserMode, &other), STATUS_SUCCESS);
    EXPECT_EQ(Run({"eject", "E:"}), STATUS_ACCESS_DENIED);
    kern::CloseFile(other);
    EXPECT_EQ(Run({"eject", "E:"}), STATUS_SUCCESS);
    EXPECT_EQ(Run({"read", "E:"}), STATUS_UNRECOGNIZED_VOLUME) << "no media: nothing mounts";
    EXPECT_EQ(Run({"eject", "C:"}), STATUS_INVALID_DEVICE_REQUEST) << "a fixed disk has no media to eject";
    EXPECT_EQ(Run({"insert", "E:"}), STATUS_SUCCESS);
    EXPECT_EQ(Run({"read", "E:"}), STATUS_SUCCESS);
}

TEST_F(MachineTest, LabelChangesTravelAsSetVolumeInformation) {
    EXPECT_EQ(Run({"label", "C:", "BACKUP"}), STATUS_SUCCESS);
    PVPB vpb = m_machine.StorageOfLetter(u'C')->Device()->Vpb;
    EXPECT_EQ(std::u16string(vpb->VolumeLabel, vpb->VolumeLabelLength / 2), u"BACKUP");
    EXPECT_EQ(Run({"label", "C:", std::string(33, 'x')}), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(std::u16string(vpb->VolumeLabel, vpb->VolumeLabelLength / 2), u"BACKUP");
}

TEST_F(MachineTest, DeletingAVolumeDetachesTheFilterByFastIo) {
    ASSERT_EQ(Stats().volume_filters, 2u);
    EXPECT_EQ(Run({"delete", "C:"}), STATUS_SUCCESS);
    EXPECT_EQ(Stats().volume_filters, 1u);
    EXPECT_EQ(Run({"mount", "C:"}), STATUS_SUCCESS) << "a new volume device is mounted";
    EXPECT_EQ(Stats().volume_filters, 2u);
}

TEST_F(MachineTest, UnregisteringAFileSystemRemovesItsFilter) {
    EXPECT_EQ(Run({"unregister", "Cdfs"}), STATUS_SUCCESS);
    EXPECT_EQ(Stats().file_system_filters, 3u);
    EXPECT_EQ(Run({"register", "Cdfs"}), STATUS_SUCCESS);
    EXPECT_EQ(Stats().file_system_filters, 4u);
    EXPECT_EQ(Run({"unregister", "NoSuchFs"}), STATUS_OBJECT_NAME_NOT_FOUND);
}

TEST_F(MachineTest, DriveQueriesReportTypeAndSpaceThroughTheStack) {
    struct Case {
        WCHAR letter;
        UINT type;
        ULONGLONG total;
    };
    const Case cases[] = {{u'C', DRIVE_FIXED, 8192000},   {u'E', DRIVE_CDROM, 65536},
                          {u'A', DRIVE_REMOVABLE, 0},     {u'Z', DRIVE_REMOTE, 0},
                          {u'Q', DRIVE_NO_ROOT_DIR, 0}};
    for (const Case& c : cases) {
        const kern::sim::DriveInfo info = m_machine.QueryDrive(c.letter);
        EXPECT_EQ(info.type, c.type) << char(c.letter);
        EXPECT_EQ(info.total_bytes, c.total) << char(c.letter);
    }
    EXPECT_EQ(m_machine.QueryDrive(u'C').free_bytes, 4096000u);
    EXPECT_EQ(Stats().reads, 0u) << "queries are not reads";
}

TEST_F(MachineTest, NetworkCreatesReachTheRedirectorWithTheirName) {
    EXPECT_EQ(Run({"netcreate", "\\;Z:0000000000003e7\\server\\share\\file.txt"}), STATUS_SUCCESS);
    EXPECT_EQ(Run({"netcreate", "no-backslash"}), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Run({"hold", "Z:", "write", "1"}), STATUS_SUCCESS);
    EXPECT_EQ(m_machine.FilesOfLetter(u'Z')->Engine().HeldCount(), 1u);
    EXPECT_EQ(Run({"complete", "Z:"}), STATUS_SUCCESS);
}

TEST_F(MachineTest, WithoutAFiltersDirectoryTheModuleUsesItsFallbackName) {
    m_spec.settings.filters_directory = false;
    Machine machine;
    std::string error;
    ASSERT_EQ(machine.Build(m_spec, "", &error), STATUS_SUCCESS) << error;
    EXPECT_EQ(kern::ResolveLinkChain(u"\\DosDevices\\TestFilter"), u"\\FileSystem\\TestFilterCDO");
}

}  // namespace

namespace {

TEST_F(MachineTest, ArmedAttachFailuresLeaveTheNextNewMountUnfiltered) {
    EXPECT_EQ(Run({"failattach", "A:", "1"}), STATUS_SUCCESS);
    EXPECT_EQ(Run({"mount", "A:"}), STATUS_SUCCESS) << "the mount itself succeeds";
    EXPECT_EQ(Stats().volume_filters, 2u);
    EXPECT_EQ(Run({"failattach", "Q:", "1"}), STATUS_INVALID_PARAMETER);
}

TEST_F(MachineTest, MountsCompletedAtDispatchLevelStillReachTheFilter) {
    m_spec.file_systems[0].mount_at_dispatch = true;
    Machine machine;
    std::string error;
    ASSERT_EQ(machine.Build(m_spec, "", &error), STATUS_SUCCESS) << error;
    EXPECT_EQ(Stats().volume_filters, 2u);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
}

}  // namespace
