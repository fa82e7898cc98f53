#include "EngineFixture.h"

namespace {

struct Poll {
    DWORD remaining = 0;
    BYTE status = 0;
};

}  // namespace

class SelfTestTest : public EngineTest {
protected:
    void Start(const std::string& profile, DWORD type) {
        Load(profile);
        m_device = Ready();
        ASSERT_NE(m_device, nullptr);
        ASSERT_TRUE(m_engine->ExecuteSelfTest(m_device, type));
        m_elapsed = 0;
    }
    Poll PollAt(std::uint64_t second) {
        AdvanceSeconds(second - std::exchange(m_elapsed, second));
        Poll p;
        EXPECT_TRUE(m_engine->ReadSelfTestData(m_device, &p.remaining, &p.status)) << "at " << second;
        return p;
    }
    std::size_t ReadDataCount() { return AtaCount(kAtaDisk, READ_ATTRIBUTES); }
    BYTE LastSubcommand() { return Commands(kAtaDisk).back().AtaSectorNumber(); }

    SmartDevice* m_device = nullptr;
    std::uint64_t m_elapsed = 0;
};

// A drive that keeps testing while it receives commands is read at every
// tenth second; the polls in between answer from the node. While the test
// runs, discovery is refused.
TEST_F(SelfTestTest, AtaShortTestReadsTheDriveEveryTenSeconds) {
    Start(AtaProfile(""), SMART_TEST_SHORT);
    for (std::uint64_t second : {0, 5, 10, 15, 20, 119}) {
        const std::size_t before = ReadDataCount();
        const Poll p = PollAt(second);
        EXPECT_EQ(ReadDataCount() > before, second % 10 == 0) << "at " << second;
        EXPECT_EQ(p.remaining, 120 - second);
        EXPECT_EQ(SelfTestStatusCode(p.status), SMART_TEST_STATUS_RUNNING);
    }
    EXPECT_EQ(m_engine->GetDevices(), nullptr);
    const Poll end = PollAt(120);
    EXPECT_EQ(end.remaining, 0u);
    EXPECT_EQ(end.status, SMART_TEST_STATUS_COMPLETED);
    Poll after;
    EXPECT_FALSE(m_engine->ReadSelfTestData(m_device, &after.remaining, &after.status)) << "ended";
    EXPECT_NE(Discover(), nullptr);
}

// A drive that stops testing on any command is not read before the expected
// end, so its test runs to completion.
TEST_F(SelfTestTest, DriveStoppingOnCommandIsLeftAloneUntilTheEnd) {
    Start(AtaProfile(R"(, "offline_capability": "0x5F")", R"(, "behaviour": {"stops_on_command": true})"),
          SMART_TEST_SHORT);
    const std::size_t before = ReadDataCount();
    for (std::uint64_t second : {0, 10, 60, 110}) {
        const Poll p = PollAt(second);
        EXPECT_EQ(p.remaining, 120 - second);
        EXPECT_EQ(p.status, 0x0F) << "the node's in-progress marker";
    }
    EXPECT_EQ(ReadDataCount(), before);
    EXPECT_EQ(PollAt(120).status, SMART_TEST_STATUS_COMPLETED);
}

// Off-line collection still collecting (status 3) after its announced time
// gets 10 more seconds; completed (status 2) ends it.
TEST_F(SelfTestTest, OfflineCollectionIsExtendedWhileStillCollecting) {
    Start(AtaProfile(R"(, "collect_seconds": 600)", R"(, "behaviour": {"selftests": {"offline": {"seconds": 605}}})"),
          SMART_TEST_OFFLINE_COLLECT);
    Poll p = PollAt(600);
    EXPECT_EQ(p.status, SMART_TEST_STATUS_RUNNING);
    EXPECT_EQ(p.remaining, 10u);
    p = PollAt(605);
    EXPECT_EQ(p.status, SMART_TEST_STATUS_RUNNING);
    EXPECT_EQ(p.remaining, 5u);
    p = PollAt(610);
    EXPECT_EQ(p.status, SMART_TEST_STATUS_COMPLETED);
    EXPECT_EQ(p.remaining, 0u);
}

TEST_F(SelfTestTest, BusyDriveRefusesOtherOperationsUntilAborted) {
    Start(AtaProfile(""), SMART_TEST_EXTENDED);
    EXPECT_FALSE(m_engine->ReadAttributes(m_device));
    EXPECT_FALSE(m_engine->ExecuteSelfTest(m_device, SMART_TEST_SHORT));
    ASSERT_TRUE(m_engine->AbortSelfTest(m_device));
    EXPECT_EQ(LastSubcommand(), 0x7F);
    EXPECT_FALSE(m_engine->AbortSelfTest(m_device)) << "nothing runs now";
    EXPECT_TRUE(m_engine->ReadAttributes(m_device));

    ASSERT_TRUE(m_engine->ExecuteSelfTest(m_device, SMART_TEST_SHORT));
    m_engine.reset();
    EXPECT_EQ(LastSubcommand(), 0x7F) << "the engine's end aborts a running test";
}
