#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "EngineFixture.h"

namespace {

TEST_F(EngineTest, DefaultProfileDiscoveryInNameOrder) {
    LoadDefault();
    SmartDevice* list = Discover();
    struct Expect {
        DWORD type;
        DWORD number;
        const char16_t* model;
        DWORD flags;
    };
    const DWORD smartOn = SMART_FLAG_SUPPORTED | SMART_FLAG_ENABLED;
    const Expect expected[] = {
        {7, 0, u"KORVANE KV7200-500G", smartOn},
        {2, 0, u"HALVEX  DVD-RW HX-22S", SMART_FLAG_REMOVABLE},
        {0x1F, 0, u"STRANDA LTO4 SD-1840", SMART_FLAG_REMOVABLE},
        {7, 1, u"Talmet TD2T-7K2", smartOn},
        {7, 2, u"ORBELIN OX15K300-SAS", smartOn},
    };
    std::set<SmartServerId> ids;
    std::size_t i = 0;
    for (SmartDevice* d = list; d; d = d->next, ++i) {
        ASSERT_LT(i, std::size(expected));
        EXPECT_EQ(d->deviceType, expected[i].type) << i;
        EXPECT_EQ(d->deviceNumber, expected[i].number) << i;
        EXPECT_EQ(Field(d->model, kModelChars), expected[i].model) << i;
        EXPECT_EQ(d->flags, expected[i].flags) << i;
        EXPECT_NE(d->engineLink, nullptr);
        EXPECT_EQ(d->serverId >> 32, m_clock->NowFileTime() >> 32);
        ids.insert(d->serverId);
    }
    EXPECT_EQ(i, std::size(expected));
    EXPECT_EQ(ids.size(), i) << "server ids are unique";
    EXPECT_EQ(Field(list->serial, kSerialChars), u"KV5A09T3X1834") << "trimmed";
    EXPECT_EQ(Field(list->firmware, kFirmwareChars), u"KV04B11");
    EXPECT_GT(list->ataLevel, 0);
}

TEST_F(EngineTest, ServerIdsNeverRepeatAcrossEnumerations) {
    // Records made 100 ns apart with consecutive serials are where time XOR
    // serial repeats; a repeated id would make the dispatcher answer about
    // the wrong drive. Each step starts a new engine, so every drive is new
    // to it and gets a new id.
    const std::uint64_t start = m_clock->NowFileTime();
    SmartServerId previous = 0;
    std::set<SmartServerId> ids;
    for (std::uint64_t step = 0; step < 64; ++step) {
        LoadDefault();
        m_clock->SetFileTime(start + step);
        for (SmartDevice* d = Discover(); d; d = d->next) {
            EXPECT_GT(d->serverId, previous);
            previous = d->serverId;
            EXPECT_TRUE(ids.insert(d->serverId).second) << "id repeated at step " << step;
        }
    }
}

// The server id of each drive of a discovery, by model.
std::map<std::u16string, SmartServerId> IdsByDrive(const SmartDevice* list) {
    std::map<std::u16string, SmartServerId> ids;
    for (const SmartDevice* d = list; d; d = d->next) ids[Field(d->model, kModelChars)] = d->serverId;
    return ids;
}

TEST_F(EngineTest, ADriveFoundAgainKeepsItsIdAndAReturningDriveGetsANewOne) {
    // An ATA disk and a SCSI disk; the SCSI disk is unplugged and plugged in
    // again between discoveries of the same engine.
    const std::string ata = AtaProfile("");
    const std::string scsi = ScsiProfile("");
    const std::string scsiDevice = scsi.substr(scsi.find('[') + 1, scsi.rfind(']') - scsi.find('[') - 1);
    const std::string both = ata.substr(0, ata.rfind(']')) + ", " + scsiDevice + "]}";
    const auto plug = [&](const std::string& profile) {
        m_sim.reset();  // the old machine goes before the new one comes
        m_sim = std::make_unique<plat::device::ScopedSimulation>(profile);
    };
    Load(both);
    const auto first = IdsByDrive(Discover());
    ASSERT_EQ(first.size(), 2u);
    m_clock->Advance(1000);
    EXPECT_EQ(IdsByDrive(Discover()), first) << "the same drives, the same ids";

    plug(ata);
    const auto alone = IdsByDrive(Discover());
    ASSERT_EQ(alone.size(), 1u);
    EXPECT_EQ(alone.begin()->second, first.at(alone.begin()->first)) << "the disk still there keeps its id";

    plug(both);
    const auto back = IdsByDrive(Discover());
    ASSERT_EQ(back.size(), 2u);
    for (const auto& [drive, id] : back) {
        if (drive == alone.begin()->first) {
            EXPECT_EQ(id, alone.begin()->second);
        } else {
            EXPECT_GT(id, first.at(drive)) << "a drive that was gone comes back under a new id, never reused";
        }
    }
}

TEST_F(EngineTest, RemovableDisksAreDroppedFloppiesAreTypeOne) {
    Load(R"({"devices": [
        {"name": "\\Device\\Harddisk0\\DR0", "links": ["\\Device\\Harddisk0\\Partition0"], "kind": "scsi-disk",
         "removable": true, "scsi": {"vendor": "STICK", "product": "USB", "revision": "1"}},
        {"name": "\\Device\\Floppy0", "kind": "floppy"},
        {"name": "\\Device\\CdRom0", "kind": "cdrom"}]})");
    SmartDevice* list = Discover();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->deviceType, 2u) << "the CD comes first: the USB disk is not listed";
    EXPECT_TRUE(list->flags & SMART_FLAG_REMOVABLE);
    ASSERT_NE(list->next, nullptr);
    EXPECT_EQ(list->next->deviceType, 1u);
    EXPECT_EQ(list->next->deviceNumber, 0u);
    EXPECT_EQ(list->next->next, nullptr);
}

TEST_F(EngineTest, DriveNumberFromTheIdeDeviceMap) {
    struct Case {
        int map;
        int target;
        BYTE driveHead;
    };
    const Case cases[] = {{0x01, 1, 0xA0}, {0x03, 1, 0xB0}, {0x02, 1, 0xB0}, {0x03, 0, 0xA0}};
    for (const Case& c : cases) {
        const std::string device = R"(, "smart_version": {"device_map": )" + std::to_string(c.map) +
                                   R"(, "capabilities": 7})";
        std::string profile = AtaProfile("", device);
        profile.replace(profile.find("\"target\": 0"), 11, "\"target\": " + std::to_string(c.target));
        Load(profile);
        ASSERT_NE(Discover(), nullptr);
        const auto sent = Commands(kAtaDisk);
        ASSERT_FALSE(sent.empty());
        for (const auto& cmd : sent) {
            if (cmd.IsAta()) {
                EXPECT_EQ(cmd.bytes[5], c.driveHead) << "map " << c.map << " target " << c.target;
            }
        }
    }
}

TEST_F(EngineTest, IdentifyFailureFallsBackToScsi) {
    Load(AtaProfile("", R"(, "behaviour": {"failures": [{"ata_command": 236, "ata_error": 4}]})"));
    SmartDevice* d = Discover();
    ASSERT_NE(d, nullptr);
    // The translated INQUIRY of an ATA disk: vendor "ATA", product the model.
    EXPECT_EQ(Field(d->model, kModelChars), u"ATA     WDC WD800JB");
    EXPECT_EQ(d->ataLevel, 0);
    EXPECT_FALSE(m_engine->FirstNode()->IsAta());
}

TEST_F(EngineTest, KnownDrivesGetTheirStateBackAndKeepTheirCache) {
    Load(AtaProfile(R"(, "autosave": false, "auto_offline": false)"));
    SmartDevice* d = Ready();
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(m_engine->EnableAutosave(d));
    ASSERT_TRUE(m_engine->ReadAttributes(d));
    (*m_sim)->ClearCommands();

    d = Discover();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(AtaCount(kAtaDisk, ENABLE_SMART), 1u);
    EXPECT_EQ(AtaCount(kAtaDisk, ENABLE_DISABLE_AUTOSAVE), 1u);
    EXPECT_EQ(AtaCount(kAtaDisk, ENABLE_DISABLE_AUTO_OFFLINE), 0u);
    EXPECT_TRUE(d->flags & SMART_FLAG_CAPS_READ) << "state carried over";
    EXPECT_TRUE(d->flags & SMART_FLAG_AUTOSAVE);
    EXPECT_EQ(d->counters.powerOnHours, 1234u);
    (*m_sim)->ClearCommands();
    EXPECT_TRUE(m_engine->ReadAttributes(d));
    EXPECT_TRUE(Commands(kAtaDisk).empty()) << "cache stamp carried over";
    EXPECT_FALSE(m_engine->ReadCapabilities(d));
}

TEST_F(EngineTest, FailedReapplyClearsTheFlag) {
    Load(AtaProfile("", R"(, "behaviour": {"failures": [{"ata_feature": 210, "skip": 1, "ata_error": 4}]})"));
    SmartDevice* d = Ready();
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(m_engine->EnableAutosave(d));
    d = Discover();
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->flags & SMART_FLAG_AUTOSAVE);
    EXPECT_TRUE(d->flags & SMART_FLAG_ENABLED);
}

TEST_F(EngineTest, KnownScsiDriveGetsItsPageBackOrLosesItsSwitches) {
    // The first discovery writes the page back once; the re-application at
    // the second discovery fails.
    Load(ScsiProfile(R"(, "informational_exceptions": {"flags": "0x00"})",
                     R"(, "behaviour": {"failures": [{"scsi_opcode": 21, "skip": 1, "sense": "05 24 00"}]})"));
    ASSERT_NE(Discover(), nullptr);
    SmartDevice* d = Discover();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(ScsiCount(kScsiDisk, 0x15), 2u);
    EXPECT_EQ(d->flags & (SMART_FLAG_SUPPORTED | SMART_FLAG_ENABLED), SMART_FLAG_SUPPORTED);
}

TEST_F(EngineTest, BusyDriveStopsDiscoveryAndOperations) {
    LoadDefault();
    SmartDevice* d = Discover();
    ASSERT_NE(d, nullptr);
    DeviceNode* first = m_engine->FirstNode();
    first->selfTestStart = plat::U64ToFileTime(m_clock->NowFileTime());
    EXPECT_EQ(m_engine->GetDevices(), nullptr);
    EXPECT_EQ(m_engine->FirstNode(), first) << "node list unchanged";
    EXPECT_FALSE(m_engine->ReadAttributes(d));
    first->selfTestStart = FILETIME{};
    EXPECT_TRUE(m_engine->ReadCapabilities(d));
}

TEST_F(EngineTest, LinkCyclesAndSmartlessAtaDrives) {
    // The floppy name leads into a loop of links; the disk answers IDENTIFY
    // with empty command-set words and takes the enable command.
    Load(AtaProfile("", "", R"(, "identify_words": {"80": "0x003E", "82": 0, "85": 0})")
             .insert(1, R"("links": {"\\Device\\Floppy0": "\\Device\\LoopA", "\\Device\\LoopA": "\\Device\\Floppy0"}, )"));
    SmartDevice* d = Discover();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->next, nullptr);
    EXPECT_EQ(d->ataLevel, 5);
    EXPECT_EQ(d->flags & (SMART_FLAG_SUPPORTED | SMART_FLAG_ENABLED), SMART_FLAG_SUPPORTED | SMART_FLAG_ENABLED);
    EXPECT_EQ(AtaCount(kAtaDisk, ENABLE_SMART), 2u) << "once to find out, once because it is enabled";
}

}  // namespace
