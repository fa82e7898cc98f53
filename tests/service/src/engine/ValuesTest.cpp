#include <gtest/gtest.h>

#include "EngineFixture.h"

namespace {

TEST_F(EngineTest, ReadStatusIsCachedFor300Seconds) {
    Load(AtaProfile(""));
    SmartDevice* d = Ready();
    ASSERT_NE(d, nullptr);
    (*m_sim)->ClearCommands();
    EXPECT_TRUE(m_engine->ReadStatus(d));
    EXPECT_TRUE(m_engine->ReadStatus(d));
    AdvanceSeconds(299);
    EXPECT_TRUE(m_engine->ReadStatus(d));
    EXPECT_EQ(AtaCount(kAtaDisk, RETURN_SMART_STATUS), 1u);
    AdvanceSeconds(2);
    EXPECT_TRUE(m_engine->ReadStatus(d));
    EXPECT_EQ(AtaCount(kAtaDisk, RETURN_SMART_STATUS), 2u);
    EXPECT_EQ(d->health, 1);
    // A clock set back makes the stamp lie in the future: read again.
    m_clock->SetFileTime(m_clock->NowFileTime() - 3600 * plat::kFileTimePerSecond);
    EXPECT_TRUE(m_engine->ReadStatus(d));
    EXPECT_EQ(AtaCount(kAtaDisk, RETURN_SMART_STATUS), 3u);
}

TEST_F(EngineTest, ReadAttributesIsCachedAndThresholdsCarryOver) {
    Load(AtaProfile(""));
    SmartDevice* d = Discover();
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(m_engine->ReadCapabilities(d));
    EXPECT_EQ(AtaCount(kAtaDisk, READ_THRESHOLDS), 1u) << "read once, before the capabilities";
    (*m_sim)->ClearCommands();

    EXPECT_TRUE(m_engine->ReadAttributes(d));
    EXPECT_TRUE(Commands(kAtaDisk).empty()) << "values younger than 300 s come from the node";
    AdvanceSeconds(301);
    EXPECT_TRUE(m_engine->ReadAttributes(d));
    EXPECT_EQ(AtaCount(kAtaDisk, READ_ATTRIBUTES), 1u);
    EXPECT_EQ(AtaCount(kAtaDisk, READ_THRESHOLDS), 0u);
    EXPECT_EQ(d->attributes[0].id, 1);
    EXPECT_EQ(d->attributes[0].threshold, 51);
    EXPECT_EQ(d->counters.readErrorsCorrected, 5u);
    EXPECT_EQ(d->counters.temperature, 0x28);
    EXPECT_EQ(d->counters.secondTemperature, 0x2D);
}

TEST_F(EngineTest, AtaReturnStatusDecidesHealth) {
    const std::pair<const char*, BYTE> cases[] = {{"healthy", 1}, {"exceeded", 0}};
    for (const auto& [status, health] : cases) {
        Load(AtaProfile(std::string(R"(, "return_status": ")") + status + "\""));
        SmartDevice* d = Ready();
        ASSERT_NE(d, nullptr);
        EXPECT_TRUE(m_engine->ReadStatus(d));
        EXPECT_EQ(d->health, health) << status;
    }
}

TEST_F(EngineTest, ScsiHealthDecisionTable) {
    struct Case {
        const char* asc;
        const char* ascq;
        BYTE health;
    };
    const Case cases[] = {
        {"0x5D", "0x00", 0}, {"0x5D", "0xFF", 1}, {"0x0B", "0x01", 0}, {"0x0B", "0x00", 1}, {"0x00", "0x00", 1},
    };
    for (const Case& c : cases) {
        Load(ScsiProfile(std::string(R"(, "informational_exceptions": {"flags": "0x00", "asc": ")") + c.asc +
                         R"(", "ascq": ")" + c.ascq + "\"}"));
        SmartDevice* d = Ready();
        ASSERT_NE(d, nullptr);
        ASSERT_TRUE(d->flags & SMART_FLAG_CAPS_READ);
        (*m_sim)->ClearCommands();
        EXPECT_TRUE(m_engine->ReadStatus(d)) << c.asc << "/" << c.ascq;
        EXPECT_EQ(d->health, c.health) << c.asc << "/" << c.ascq;
        EXPECT_EQ(ScsiCount(kScsiDisk, 0x4D), 1u) << "page 0x2F when the drive lists it";
    }
}

TEST_F(EngineTest, ScsiValuesFollowTheListedPages) {
    LoadDefault();
    SmartDevice* d = Discover();
    while (d && d->deviceNumber != 2) d = d->next;
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(m_engine->ReadAttributes(d)) << "SCSI values need the capabilities first";
    ASSERT_TRUE(m_engine->ReadCapabilities(d));
    EXPECT_EQ(d->counters.writeErrorsCorrected, 17u);
    EXPECT_EQ(d->counters.bytesWritten, 1873412245504ull);
    EXPECT_EQ(d->counters.readErrorsCorrected, 482214u);
    EXPECT_EQ(d->counters.nonMediumErrors, 4u);
    EXPECT_EQ(d->counters.startStopCycles, 412u);
    EXPECT_EQ(d->counters.powerOnHours, 23001u) << "newest self-test time stamp";
}

}  // namespace
