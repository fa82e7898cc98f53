#include <gtest/gtest.h>

#include "EngineFixture.h"

namespace {

using SwitchOp = bool (CSmart::*)(SmartDevice*);

struct SwitchCase {
    const char* what;
    const char* smart;  // extra members of the drive's "smart" object
    SwitchOp before;    // puts the drive into the state to switch from, or null
    SwitchOp op;
    BYTE feature;
    BYTE count;         // sector count sent
    DWORD deviceFlag;
    bool expectOn;
};

class AtaSwitching : public EngineTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(AtaSwitching, SendsTheSubCommandAndMirrorsTheState) {
    const SwitchCase& c = GetParam();
    Load(AtaProfile(c.smart));
    SmartDevice* d = Ready();
    ASSERT_NE(d, nullptr);
    if (c.before) {
        ASSERT_TRUE((m_engine.get()->*c.before)(d)) << c.what;
    }
    (*m_sim)->ClearCommands();

    EXPECT_TRUE((m_engine.get()->*c.op)(d)) << c.what;
    const auto sent = Commands(kAtaDisk);
    ASSERT_EQ(sent.size(), 1u) << c.what;
    EXPECT_EQ(sent[0].AtaFeature(), c.feature);
    EXPECT_EQ(sent[0].bytes[1], c.count);
    EXPECT_EQ((d->flags & c.deviceFlag) != 0, c.expectOn) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Operations, AtaSwitching,
    ::testing::Values(
        SwitchCase{"enable", "", nullptr, &CSmart::EnableSmart, 0xD8, 0, SMART_FLAG_ENABLED, true},
        SwitchCase{"disable", "", nullptr, &CSmart::DisableSmart, 0xD9, 0, SMART_FLAG_ENABLED, false},
        SwitchCase{"autosave on", R"(, "autosave": false)", nullptr, &CSmart::EnableAutosave, 0xD2, 0xF1,
                   SMART_FLAG_AUTOSAVE, true},
        SwitchCase{"autosave off", "", &CSmart::EnableAutosave, &CSmart::DisableAutosave, 0xD2, 0x00,
                   SMART_FLAG_AUTOSAVE, false},
        SwitchCase{"auto-off-line on", R"(, "auto_offline": false)", nullptr, &CSmart::EnableAutoOffline, 0xDB, 0xF8,
                   SMART_FLAG_AUTO_OFFLINE, true},
        SwitchCase{"auto-off-line off", R"(, "auto_offline": true)", nullptr, &CSmart::DisableAutoOffline, 0xDB, 0x00,
                   SMART_FLAG_AUTO_OFFLINE, false}));

TEST_F(EngineTest, AutosaveWithoutCapabilityBitFailsWithoutACommand) {
    Load(AtaProfile(R"(, "smart_capability": 1)"));
    SmartDevice* d = Ready();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->flags & SMART_FLAG_AUTOSAVE_SUPPORTED, 0u);
    (*m_sim)->ClearCommands();
    EXPECT_FALSE(m_engine->EnableAutosave(d));
    EXPECT_TRUE(Commands(kAtaDisk).empty());
}

TEST_F(EngineTest, FailedEnableOnAnEnabledDriveStillReportsOn) {
    Load(AtaProfile("", R"(, "behaviour": {"failures": [{"ata_feature": 216, "skip": 1, "ata_error": 4}]})"));
    SmartDevice* d = Discover();  // discovery re-sends the enable once; the next one fails
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(d->flags & SMART_FLAG_ENABLED);
    EXPECT_TRUE(m_engine->EnableSmart(d));
    EXPECT_TRUE(d->flags & SMART_FLAG_ENABLED);
}

TEST_F(EngineTest, ScsiSwitchesWriteTheExceptionsPageAndTheDriveKeepsIt) {
    Load(ScsiProfile(R"(, "informational_exceptions": {"flags": "0x00", "mrie": 6})"));
    SmartDevice* d = Ready();
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(d->flags & SMART_FLAG_AUTOSAVE_SUPPORTED);
    (*m_sim)->ClearCommands();
    EXPECT_TRUE(m_engine->EnableAutosave(d));
    EXPECT_EQ(ScsiCount(kScsiDisk, 0x15), 1u);
    EXPECT_TRUE(d->flags & SMART_FLAG_AUTOSAVE);
    EXPECT_TRUE(m_engine->DisableSmart(d));
    EXPECT_FALSE(d->flags & SMART_FLAG_ENABLED);

    // A fresh engine reads the page back: exceptions are off.
    FreeSmartDeviceList(m_list);
    m_list = nullptr;
    m_engine.reset();
    m_engine = std::make_unique<TestEngine>();
    d = Discover();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->flags & (SMART_FLAG_SUPPORTED | SMART_FLAG_ENABLED), SMART_FLAG_SUPPORTED);
}

TEST_F(EngineTest, OperationsRefuseUnknownRecordsAndSecondEngines) {
    LoadDefault();
    SmartDevice* d = Discover();
    ASSERT_NE(d, nullptr);
    SmartDevice stranger = *d;
    stranger.engineLink = &stranger;
    EXPECT_FALSE(m_engine->EnableSmart(&stranger));
    EXPECT_FALSE(m_engine->ReadStatus(nullptr));

    TestEngine second;
    EXPECT_FALSE(second.IsPrimary());
    EXPECT_EQ(second.GetDevices(), nullptr);
    EXPECT_FALSE(second.ReadAttributes(d));
}

}  // namespace
