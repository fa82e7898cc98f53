// The service among several clients and across its own restart: the ids
// one client holds survive another client's listing, the GUI's client
// reconnects with its records updated in place, and a GUI started before
// the service gets its drives once the service is up.
#include <fstream>
#include <nlohmann/json.hpp>

#include "LinkEvents.h"
#include "SentrakProcess.h"
#include "SmartHandler.h"
#include "base/clock.h"
#include "base/text.h"
#include "device/sim_machine.h"

namespace {

std::u16string Model(const SmartDevice& d) { return std::u16string(plat::FieldView(d.model, kModelChars)); }

TEST(SentrakClients, ListingsOfOneClientLeaveTheIdsOfAnotherValid) {
    sentraktest::SentrakProcess service;
    ASSERT_TRUE(service.Start());
    CSmartHandler gui(nullptr, service.Port());
    CSmartHandler tool(nullptr, service.Port());
    gui.Initialize();
    tool.Initialize();
    ASSERT_EQ(gui.GetDeviceCount(), 3);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        // The tool lists the drives, as `lumetra-smart list` does, between
        // the GUI's reads; then the GUI lists and the tool reads.
        SmartDevice* listing = tool.GetDevices();
        ASSERT_NE(listing, nullptr);
        for (int i = 0; i < gui.GetDeviceCount(); ++i) {
            SmartDevice* drive = gui.GetDevice(i);
            EXPECT_TRUE(gui.ReadStatus(drive)) << i;
            EXPECT_TRUE(gui.ReadAttributes(drive)) << i;
            EXPECT_EQ(gui.CopyRecord(*drive).health, 1) << "a drive still there never reads as failing";
            EXPECT_FALSE(gui.IsGone(*drive));
        }
        FreeSmartDeviceList(gui.GetDevices());
        for (SmartDevice* d = listing; d; d = d->next) {
            if (d->flags & SMART_FLAG_SUPPORTED) {
                EXPECT_TRUE(tool.ReadAttributes(d));
            }
        }
        FreeSmartDeviceList(listing);
    }
    EXPECT_EQ(gui.CopyRecord(*gui.GetDevice(0)).serverId, tool.CopyRecord(*tool.GetDevice(0)).serverId);
    EXPECT_EQ(service.Stop(), 0);
}

// The demo machine without its second ATA disk, as a profile file.
std::string ProfileWithoutSecondDisk(const std::filesystem::path& dir) {
    nlohmann::json profile = nlohmann::json::parse(plat::device::DefaultProfileText());
    auto& devices = profile["devices"];
    for (auto d = devices.begin(); d != devices.end(); ++d) {
        if ((*d)["name"] == "\\Device\\Harddisk1\\DR1") {
            devices.erase(d);
            break;
        }
    }
    const std::filesystem::path path = dir / "one-ata-disk.json";
    std::ofstream(path) << profile.dump();
    return path.string();
}

TEST(SentrakClients, TheGuiClientReconnectsAfterARestartAndUpdatesItsRecordsInPlace) {
    plat::ScopedManualClock clock;  // the client's pauses pass when the test moves it
    sentraktest::SentrakProcess service;
    ASSERT_TRUE(service.Start());
    LinkEvents link;
    CSmartHandler gui(nullptr, service.Port());
    gui.SetLinkCallback(link.Callback());
    gui.Initialize();
    ASSERT_EQ(gui.GetDeviceCount(), 3);
    ASSERT_EQ(gui.RefreshSmartStatus(), 1);  // the window's first poll: health is current
    SmartDevice* const first = gui.GetDevice(0);
    SmartDevice* const second = gui.GetDevice(1);
    const SmartDevice firstBefore = gui.CopyRecord(*first);
    const SmartDevice secondBefore = gui.CopyRecord(*second);
    ASSERT_EQ(Model(secondBefore), u"Talmet TD2T-7K2");

    ASSERT_EQ(service.Stop(), 0);
    ASSERT_TRUE(link.WaitFor(1, *clock));
    EXPECT_FALSE(gui.IsConnected());
    EXPECT_FALSE(gui.ReadAttributes(first)) << "a request while disconnected fails at once";
    EXPECT_EQ(gui.CopyRecord(*first).serverId, firstBefore.serverId) << "and leaves the record alone";
    EXPECT_EQ(gui.CopyRecord(*first).health, 1);

    // The service comes back without the second disk (it is being replaced).
    service.SetDevices(ProfileWithoutSecondDisk(service.Root()));
    ASSERT_TRUE(service.Start());
    ASSERT_TRUE(link.WaitFor(2, *clock));
    EXPECT_EQ(link.States(), (std::vector<bool>{false, true}));
    EXPECT_TRUE(gui.IsConnected());

    EXPECT_EQ(gui.GetDevice(0), first) << "records stay where the window's pointers are";
    EXPECT_EQ(gui.GetDeviceCount(), 3);
    const SmartDevice firstAfter = gui.CopyRecord(*first);
    EXPECT_NE(firstAfter.serverId, firstBefore.serverId) << "the new service's id";
    EXPECT_EQ(Model(firstAfter), Model(firstBefore));
    EXPECT_EQ(firstAfter.health, 1) << "read before the record was taken over, never 0 in between";
    EXPECT_TRUE(firstAfter.flags & SMART_FLAG_CAPS_READ) << "prepared again";
    EXPECT_TRUE(gui.ReadAttributes(first));
    EXPECT_EQ(gui.CopyRecord(*first).health, 1);

    const SmartDevice secondAfter = gui.CopyRecord(*second);
    EXPECT_TRUE(gui.IsGone(*second));
    EXPECT_FALSE(secondAfter.flags & SMART_FLAG_SUPPORTED);
    EXPECT_EQ(Model(secondAfter), u"Talmet TD2T-7K2") << "a drive that is gone keeps its last values";
    EXPECT_EQ(secondAfter.health, 1);
    EXPECT_EQ(secondAfter.counters.powerOnHours, secondBefore.counters.powerOnHours);
    EXPECT_EQ(gui.RefreshSmartStatus(), 1) << "the drives still there are refreshed";
    EXPECT_TRUE(gui.IsGone(*second));
    EXPECT_EQ(service.Stop(), 0);
}

TEST(SentrakClients, AGuiClientStartedBeforeTheServiceGetsItsDrivesOnceTheServiceIsUp) {
    plat::ScopedManualClock clock;
    sentraktest::SentrakProcess service;  // not running yet: it is being restarted
    LinkEvents link;
    CSmartHandler gui(nullptr, service.Port());
    gui.SetLinkCallback(link.Callback());
    gui.Initialize();
    EXPECT_FALSE(gui.IsConnected());
    EXPECT_EQ(gui.GetDeviceCount(), 0);
    EXPECT_EQ(gui.RefreshSmartStatus(), 0);
    ASSERT_TRUE(link.WaitFor(1, *clock));

    ASSERT_TRUE(service.Start());
    ASSERT_TRUE(link.WaitFor(2, *clock)) << "the client keeps trying until the service is there";
    EXPECT_EQ(link.States(), (std::vector<bool>{false, true}));
    EXPECT_TRUE(gui.IsConnected());
    ASSERT_EQ(gui.GetDeviceCount(), 3) << "the first listing makes the device vector";
    const SmartDevice second = gui.CopyRecord(*gui.GetDevice(1));
    EXPECT_EQ(Model(second), u"Talmet TD2T-7K2");
    EXPECT_TRUE(second.flags & SMART_FLAG_CAPS_READ) << "prepared as Initialize prepares";
    EXPECT_EQ(gui.RefreshSmartStatus(), 1);
    EXPECT_EQ(gui.CopyRecord(*gui.GetDevice(0)).health, 1);
    EXPECT_EQ(service.Stop(), 0);
}

}  // namespace
