#include <gtest/gtest.h>

#include "EngineFixture.h"

namespace {

TEST_F(EngineTest, AtaCapabilitiesComeFromTheDataSectorOnce) {
    Load(AtaProfile(R"(, "offline_capability": "0x5B", "smart_capability": 3, "error_logging": 1,
        "auto_offline": true, "collect_seconds": 600, "short_minutes": 2, "extended_minutes": 92,
        "conveyance_minutes": 5)"));
    SmartDevice* d = Ready();
    ASSERT_NE(d, nullptr);
    const DWORD expected = SMART_FLAG_SUPPORTED | SMART_FLAG_ENABLED | SMART_FLAG_CAPS_READ |
                           SMART_FLAG_ERROR_LOG | SMART_FLAG_OFFLINE_COLLECT | SMART_FLAG_SELFTEST |
                           SMART_FLAG_SELECTIVE | SMART_FLAG_SAVE_ON_STANDBY | SMART_FLAG_AUTOSAVE_SUPPORTED |
                           SMART_FLAG_AUTO_OFFLINE_SUPPORTED | SMART_FLAG_AUTO_OFFLINE | SMART_FLAG_OFFLINE_SCAN |
                           SMART_FLAG_TEMPERATURE | SMART_FLAG_READ_ERRORS | SMART_FLAG_POWER_ON_HOURS;
    EXPECT_EQ(d->flags, expected) << std::hex << (d->flags ^ expected);
    EXPECT_EQ(d->collectTime, 600);
    EXPECT_EQ(d->shortTestTime, 120);
    EXPECT_EQ(d->extendedTestTime, 92 * 60);
    EXPECT_EQ(d->conveyanceTestTime, 300);
    EXPECT_EQ(d->attributes[0].threshold, 51);
    EXPECT_EQ(d->counters.powerOnHours, 1234u);

    // A second call fails and leaves the record alone.
    const SmartDevice before = *d;
    (*m_sim)->ClearCommands();
    EXPECT_FALSE(m_engine->ReadCapabilities(d));
    EXPECT_EQ(d->flags, before.flags);
    EXPECT_TRUE(Commands(kAtaDisk).empty());
}

TEST_F(EngineTest, AtaLevelFromCapabilitiesWhenIdentifyGivesNone) {
    struct Case {
        const char* offline;
        int errorLogging;
        BYTE level;
    };
    const Case cases[] = {{"0x00", 0, 3}, {"0x01", 0, 4}, {"0x11", 0, 5}, {"0x00", 1, 5}, {"0x41", 1, 7}};
    // Word 82 with only the S.M.A.R.T. bit and word 83 without the validity
    // pattern: the identity names no level.
    const std::string words = R"(, "identify_words": {"80": 0, "82": 1, "83": 0, "84": 0, "85": 1, "87": 0})";
    for (const Case& c : cases) {
        Load(AtaProfile(std::string(R"(, "offline_capability": ")") + c.offline + R"(", "error_logging": )" +
                            std::to_string(c.errorLogging),
                        "", words));
        SmartDevice* d = Discover();
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->ataLevel, 0);
        ASSERT_TRUE(m_engine->ReadCapabilities(d));
        EXPECT_EQ(d->ataLevel, c.level) << c.offline << " " << c.errorLogging;
    }
}

TEST_F(EngineTest, AtaDriveWithoutSmartGetsLevelTwoAndNoCapabilities) {
    Load(AtaProfile(R"(, "supported": false, "enabled": false)", "",
                    R"(, "identify_words": {"80": 0, "82": 2, "83": 0, "85": 0})"));
    SmartDevice* d = Discover();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->flags & (SMART_FLAG_SUPPORTED | SMART_FLAG_ENABLED), 0u);
    EXPECT_FALSE(m_engine->ReadCapabilities(d));
    EXPECT_FALSE(m_engine->ReadAttributes(d));
    DeviceNode* node = m_engine->FirstNode();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->ataLevel, 2);
}

TEST_F(EngineTest, ScsiCapabilitiesFromPagesAndLogList) {
    LoadDefault();
    SmartDevice* d = Discover();
    while (d && d->deviceNumber != 2) d = d->next;
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(m_engine->ReadCapabilities(d));
    EXPECT_EQ(d->shortTestTime, 30);
    EXPECT_EQ(d->extendedTestTime, 2700);
    EXPECT_EQ(d->collectTime, 4) << "vendor diagnostic page 0x80 bytes 2-3";
    for (DWORD flag : {SMART_FLAG_SELFTEST, SMART_FLAG_SELFTEST_LOG, SMART_FLAG_OFFLINE_SCAN, SMART_FLAG_TEMPERATURE,
                       SMART_FLAG_START_STOP, SMART_FLAG_WRITE_ERRORS, SMART_FLAG_READ_ERRORS,
                       SMART_FLAG_POWER_ON_FROM_SELFTEST, SMART_FLAG_AUTOSAVE_SUPPORTED}) {
        EXPECT_TRUE(d->flags & flag) << std::hex << flag;
    }
    EXPECT_EQ(d->counters.temperature, 33);
    EXPECT_EQ(d->counters.secondTemperature, 68);
    EXPECT_EQ(Field(d->counters.manufactureYear, 5), u"2019");
    EXPECT_EQ(d->counters.lifetimeStartStopCycles, 50000u);
    for (const SmartAttribute& a : d->attributes) EXPECT_EQ(a.id, 0);
}

}  // namespace
