// The device tree: which file systems get a filter, how filters leave
// (unregistration, load, removal, failed attach), mounts and remounts,
// volumes that go away, and the pool a full cycle leaves behind.
#include "BlinkorHarness.h"

#include <atomic>
#include <thread>

#include "base/clock.h"
#include "base/text.h"

namespace blinkor::test {
namespace {

class BlinkorAttach : public DriverTest {
protected:
    ULONG WatchChanges() { return Watch(IOCTL_LED_SET_CHANGE_EVENT); }
};

const char* const kKindsScenario = R"({
  "version": {"major": %d, "minor": 0},
  "file_systems": [
    {"name": "Ntfs", "type": "disk"},
    {"name": "Fs_Rec", "type": "disk", "recognizer": true},
    {"name": "Dfs", "type": "dfs"},
    {"name": "Changer", "type": "changer"},
    {"name": "Cdfs", "type": "cdrom"}
  ]
})";

TEST_F(BlinkorAttach, SkipsTheRecognizerDfsAndInClassZeroChangers) {
    struct Case {
        int major;
        std::u16string_view fs;
        bool filtered;
    };
    const Case cases[] = {
        {5, u"Ntfs", true},     {5, u"Fs_Rec", false}, {5, u"Dfs", false},  {5, u"Changer", true},
        {5, u"Cdfs", true},     {4, u"Changer", false}, {4, u"Dfs", false}, {4, u"Ntfs", true},
    };
    for (const auto& c : cases) {
        char scenario[1024];
        std::snprintf(scenario, sizeof scenario, kKindsScenario, c.major);
        Build(scenario);
        EXPECT_EQ(Filtered(c.fs), c.filtered) << "major " << c.major << " fs " << plat::Utf16ToUtf8(c.fs);
    }
}

TEST_F(BlinkorAttach, FiltersLeaveWithTheirFileSystem) {
    Build(StandardScenario());
    const ULONG changes = WatchChanges();
    ASSERT_TRUE(Filtered(u"Ntfs"));
    EXPECT_EQ(CountFilters().file_systems, 3);  // Ntfs, Cdfs, the redirector

    EXPECT_EQ(Run("unregister Ntfs"), STATUS_SUCCESS);
    EXPECT_FALSE(Filtered(u"Ntfs"));
    EXPECT_EQ(m_client->Signals(changes), 1);
    EXPECT_EQ(FindDrive(u'C'), nullptr);
    // Its volume filters stay on their volumes until the volumes go.
    EXPECT_EQ(Run("read C:"), STATUS_SUCCESS);
    EXPECT_EQ(Run("delete C:"), STATUS_SUCCESS);

    EXPECT_EQ(Run("register Ntfs"), STATUS_SUCCESS);
    EXPECT_TRUE(Filtered(u"Ntfs"));
    EXPECT_EQ(m_client->Signals(changes), 3);  // volume detached, file system attached

    Run("load Cdfs");
    EXPECT_FALSE(Filtered(u"Cdfs"));
    EXPECT_EQ(Run("netcreate \\;Y:\\server\\share\\f"), STATUS_SUCCESS);
    EXPECT_EQ(Run("remove LanmanRedirector"), STATUS_SUCCESS);
    EXPECT_FALSE(Filtered(u"LanmanRedirector"));
    EXPECT_EQ(LiveBlocks("LMvn"), 0u);
    EXPECT_EQ(CountFilters().file_systems, 1);
}

TEST_F(BlinkorAttach, AFailedAttachLeavesNothingBehind) {
    Build(StandardScenario());
    ASSERT_EQ(Run("unregister LanmanRedirector"), STATUS_SUCCESS);
    ASSERT_EQ(LiveBlocks("LMvn"), 0u);
    kern::InjectAttachFailures(Machine().FindFileSystem(u"LanmanRedirector")->ControlDevice(), 1);
    ASSERT_EQ(Run("register LanmanRedirector"), STATUS_SUCCESS);
    EXPECT_FALSE(Filtered(u"LanmanRedirector"));
    EXPECT_EQ(LiveBlocks("LMvn"), 0u);
    EXPECT_EQ(CountFilters().file_systems, 2);
}

TEST_F(BlinkorAttach, ClassZeroAttachesTheRedirectorOnTheFirstOpen) {
    Build(R"({
      "version": {"major": 4, "minor": 0},
      "file_systems": [{"name": "LanmanRedirector", "type": "network", "registered": false}],
      "links": {"\\??\\Z:": "\\Device\\LanmanRedirector\\Z:\\server\\share"}
    })");
    EXPECT_TRUE(Filtered(u"LanmanRedirector"));
    Close(m_control);
    m_control = Open();
    EXPECT_EQ(CountFilters().file_systems, 1);
    // Class 0 names carry the letter after one backslash.
    ASSERT_EQ(Run("netcreate \\Z:\\server\\share\\f"), STATUS_SUCCESS);
    const Drive* z = FindDrive(u'Z');
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(z->name, u"\\Z:\\server\\share\\f");
}

// The standard machine, watched from its start.
class BlinkorVolumes : public BlinkorAttach {
protected:
    void SetUp() override {
        BlinkorAttach::SetUp();
        Build(StandardScenario());
        changes = WatchChanges();
        volumes = CountFilters().volumes;
    }
    ULONG changes = 0;
    LONG volumes = 0;
};

TEST_F(BlinkorVolumes, ARemountReusesTheFirstFilter) {

    ASSERT_EQ(Run("dismount C:"), STATUS_SUCCESS);
    ASSERT_NE(FindDrive(u'C'), nullptr);
    EXPECT_EQ(FindDrive(u'C')->record.Dismounted, 1);
    EXPECT_EQ(m_client->Signals(changes), 1);

    ASSERT_EQ(Run("mount C:"), STATUS_SUCCESS);
    EXPECT_EQ(m_client->Signals(changes), 2);
    EXPECT_EQ(CountFilters().volumes, volumes);
    int c_records = 0;
    for (const auto& d : Drives()) c_records += d.record.Letter == u'C';
    EXPECT_EQ(c_records, 1);
    EXPECT_EQ(FindDrive(u'C')->record.Dismounted, 0);
    EXPECT_EQ(FindDrive(u'C')->record.SerialNumber, 1122867u);
    EXPECT_EQ(kern::LiveIrpCount(), 0u);
}

TEST_F(BlinkorVolumes, AVolumeThatGoesAwayLeavesTheList) {
    ASSERT_EQ(Run("delete D:"), STATUS_SUCCESS);
    EXPECT_EQ(FindDrive(u'D'), nullptr);
    EXPECT_EQ(CountFilters().volumes, volumes - 1);
    EXPECT_EQ(m_client->Signals(changes), 1);
    ASSERT_EQ(Run("mount D:"), STATUS_SUCCESS);
    EXPECT_NE(FindDrive(u'D'), nullptr);
    EXPECT_EQ(m_client->Signals(changes), 2);
}

// A volume whose attach fails is tried again every 500 ms, 8 times at most;
// the mount itself succeeds either way. Both ways of running the mount's
// second step: in the completing thread, and in a work item when the file
// system completes the mount at DISPATCH_LEVEL.
TEST_F(BlinkorAttach, AttachIsRetriedEveryHalfSecond) {
    for (bool at_dispatch : {false, true}) {
        kern::sim::MachineSpec spec = StandardScenario();
        spec.file_systems[0].mount_at_dispatch = at_dispatch;
        Build(spec);
        ASSERT_NE(FindDrive(u'C'), nullptr);
        plat::ScopedManualClock clock;
        for (int failures : {8, 7}) {
            ASSERT_EQ(Run("delete C:"), STATUS_SUCCESS);
            ASSERT_EQ(Run("failattach C: " + std::to_string(failures)), STATUS_SUCCESS);
            std::atomic<bool> done{false};
            std::thread mount([&] {
                EXPECT_EQ(Run("mount C:"), STATUS_SUCCESS);
                done = true;
            });
            const std::uint64_t start = clock->TickMs();
            while (!done) {
                clock->Advance(100);
                std::this_thread::yield();
            }
            mount.join();
            EXPECT_GE(clock->TickMs() - start, 7u * 500) << failures;
            EXPECT_EQ(FindDrive(u'C') != nullptr, failures < 8) << failures << " at dispatch " << at_dispatch;
        }
        EXPECT_EQ(kern::LiveIrpCount(), 0u);
        EXPECT_EQ(LiveBlocks("LMvn"), 1u);  // the catch-all: no work item left behind
    }
}

TEST_F(BlinkorAttach, AFullCycleLeavesOnlyTheFastIoTable) {
    Build(StandardScenario());
    for (const char* command : {"read C:", "write D:", "netcreate \\;Z:\\server\\share\\a", "read Z:",
                                "label E: NEW", "dismount A:", "mount A:", "fastio C: read"}) {
        EXPECT_TRUE(NT_SUCCESS(Run(command))) << command;
    }
    for (const char* command : {"delete C:", "delete D:", "delete E:", "delete A:", "unregister Ntfs",
                                "unregister Cdfs", "unregister LanmanRedirector"}) {
        EXPECT_EQ(Run(command), STATUS_SUCCESS) << command;
    }
    const auto usage = kern::PoolUsage();
    ASSERT_EQ(usage.size(), 1u) << kern::PoolLeakReport();
    EXPECT_EQ(usage[0].tag, POOL_TAG("LMon"));
    EXPECT_EQ(kern::LiveIrpCount(), 0u);
    EXPECT_EQ(CountFilters().file_systems, 0);
}

}  // namespace
}  // namespace blinkor::test
