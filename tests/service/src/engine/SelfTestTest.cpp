#include <memory>

#include "EngineFixture.h"
#include "engine/ScsiCdb.h"

namespace {

constexpr BYTE kExecuteOffline = 0xD4;

// One answer of ReadSelfTestData.
struct Poll {
    DWORD remaining = 0;
    BYTE status = 0;
};

std::string ScsiTestProfile() {
    return ScsiProfile(R"(, "blocks": 1000, "extended_selftest_seconds": 90, "power_on_hours": 700,
        "informational_exceptions": {"flags": 0})");
}

}  // namespace

class SelfTestTest : public EngineTest {
protected:
    // Polls at `second` after the start of the test.
    Poll PollAt(std::uint64_t second) {
        AdvanceSeconds(second - m_elapsed);
        m_elapsed = second;
        Poll p;
        EXPECT_TRUE(m_engine->ReadSelfTestData(m_device, &p.remaining, &p.status)) << "at " << second;
        return p;
    }
    void Start(const std::string& profile, DWORD type) {
        Load(profile);
        m_device = Ready();
        ASSERT_NE(m_device, nullptr);
        ASSERT_TRUE(m_engine->ExecuteSelfTest(m_device, type));
        m_elapsed = 0;
    }
    std::size_t ReadDataCount() { return AtaCount(kAtaDisk, READ_ATTRIBUTES); }

    SmartDevice* m_device = nullptr;
    std::uint64_t m_elapsed = 0;
};

// A drive that keeps testing while it receives commands is read at every
// tenth second; the polls in between answer from the node.
TEST_F(SelfTestTest, AtaShortTestReadsTheDriveEveryTenSeconds) {
    Start(AtaProfile(""), SMART_TEST_SHORT);
    const struct {
        std::uint64_t second;
        bool readsDrive;
    } polls[] = {{0, true}, {5, false}, {10, true}, {15, false}, {20, true}, {119, false}};
    for (const auto& expect : polls) {
        const std::size_t before = ReadDataCount();
        const Poll p = PollAt(expect.second);
        EXPECT_EQ(ReadDataCount() > before, expect.readsDrive) << "at " << expect.second;
        EXPECT_EQ(p.remaining, 120 - expect.second);
        EXPECT_EQ(SelfTestStatusCode(p.status), SMART_TEST_STATUS_RUNNING);
    }
    EXPECT_EQ(m_engine->GetDevices(), nullptr);  // busy

    const Poll end = PollAt(120);
    EXPECT_EQ(end.remaining, 0u);
    EXPECT_EQ(end.status, SMART_TEST_STATUS_COMPLETED);
    DWORD remaining = 0;
    BYTE status = 0;
    EXPECT_FALSE(m_engine->ReadSelfTestData(m_device, &remaining, &status));  // no longer running
    EXPECT_NE(Discover(), nullptr);
}

// A drive that stops testing on any command is not read before the expected
// end, so its test runs to completion.
TEST_F(SelfTestTest, DriveStoppingOnCommandIsLeftAloneUntilTheEnd) {
    Start(AtaProfile(R"(, "offline_capability": "0x5F")", R"(, "behaviour": {"stops_on_command": true})"),
          SMART_TEST_SHORT);
    const std::size_t before = ReadDataCount();
    for (std::uint64_t second : {0, 10, 20, 60, 110}) {
        const Poll p = PollAt(second);
        EXPECT_EQ(p.remaining, 120 - second);
        EXPECT_EQ(p.status, 0x0F) << "the node's in-progress marker";
    }
    EXPECT_EQ(ReadDataCount(), before);
    const Poll end = PollAt(120);
    EXPECT_EQ(end.status, SMART_TEST_STATUS_COMPLETED);
}

// Off-line collection reads status 3 (still collecting) after its announced
// time: 10 more seconds; then status 2 (completed) ends it.
TEST_F(SelfTestTest, OfflineCollectionIsExtendedWhileStillCollecting) {
    Start(AtaProfile(R"(, "collect_seconds": 600)", R"(, "behaviour": {"selftests": {"offline": {"seconds": 615}}})"),
          SMART_TEST_OFFLINE_COLLECT);
    Poll p = PollAt(600);
    EXPECT_EQ(p.status, SMART_TEST_STATUS_RUNNING);
    EXPECT_EQ(p.remaining, 10u);
    p = PollAt(605);
    EXPECT_EQ(p.remaining, 5u);
    p = PollAt(610);
    EXPECT_EQ(p.status, SMART_TEST_STATUS_RUNNING);
    EXPECT_EQ(p.remaining, 10u);
    p = PollAt(620);
    EXPECT_EQ(p.status, SMART_TEST_STATUS_COMPLETED);
    EXPECT_EQ(p.remaining, 0u);
    EXPECT_NE(Discover(), nullptr);
}

TEST_F(SelfTestTest, BusyDriveRefusesOtherOperationsUntilAborted) {
    Start(AtaProfile(""), SMART_TEST_EXTENDED);
    EXPECT_EQ(m_engine->GetDevices(), nullptr);
    EXPECT_FALSE(m_engine->ReadAttributes(m_device));
    EXPECT_FALSE(m_engine->ReadStatus(m_device));
    EXPECT_FALSE(m_engine->ExecuteSelfTest(m_device, SMART_TEST_SHORT));

    ASSERT_TRUE(m_engine->AbortSelfTest(m_device));
    const auto sent = Commands(kAtaDisk);
    EXPECT_EQ(sent.back().AtaFeature(), kExecuteOffline);
    EXPECT_EQ(sent.back().AtaSectorNumber(), 0x7F);
    EXPECT_FALSE(m_engine->AbortSelfTest(m_device));  // nothing runs now
    EXPECT_TRUE(m_engine->ReadAttributes(m_device));
}

TEST_F(SelfTestTest, EngineEndAbortsARunningTest) {
    Start(AtaProfile(""), SMART_TEST_SHORT);
    m_engine.reset();
    const auto sent = Commands(kAtaDisk);
    EXPECT_EQ(sent.back().AtaSectorNumber(), 0x7F);
}

TEST_F(SelfTestTest, RefusesTypesTheDriveLacks) {
    Load(AtaProfile(R"(, "offline_capability": "0x01")"));
    SmartDevice* d = Ready();
    ASSERT_NE(d, nullptr);
    for (DWORD type : {DWORD(SMART_TEST_SHORT), DWORD(SMART_TEST_EXTENDED), DWORD(SMART_TEST_CONVEYANCE), DWORD(4)}) {
        EXPECT_FALSE(m_engine->ExecuteSelfTest(d, type)) << type;
    }
    EXPECT_EQ(AtaCount(kAtaDisk, kExecuteOffline), 0u);
}

// SCSI drives are read at the expected end only; a test still running then
// is followed in steps of 10 seconds, and its result's time stamp gives the
// power-on hours.
TEST_F(SelfTestTest, ScsiShortTestIsFollowedPastItsAnnouncedTime) {
    Start(ScsiTestProfile(), SMART_TEST_SHORT);
    const std::size_t before = ScsiCount(kScsiDisk, scsi::kLogSense);
    EXPECT_EQ(PollAt(20).remaining, 10u);
    EXPECT_EQ(ScsiCount(kScsiDisk, scsi::kLogSense), before);
    for (std::uint64_t second : {30, 40, 50}) {
        const Poll p = PollAt(second);
        EXPECT_EQ(p.status, SMART_TEST_STATUS_RUNNING) << second;
        EXPECT_EQ(p.remaining, 10u);
    }
    const Poll end = PollAt(60);
    EXPECT_EQ(end.status, SMART_TEST_STATUS_COMPLETED);
    EXPECT_EQ(end.remaining, 0u);
    EXPECT_EQ(m_device->counters.powerOnHours, 700u);
}

TEST_F(SelfTestTest, ReadLogServesScsiPagesOnly) {
    Load(AtaProfile(""));
    SmartDevice* d = Ready();
    ASSERT_NE(d, nullptr);
    BYTE* block = nullptr;
    EXPECT_FALSE(m_engine->ReadLog(d, SMART_LOG_SELFTEST, &block));
    EXPECT_EQ(block, nullptr);

    Load(ScsiTestProfile());
    d = Ready();
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(m_engine->ReadLog(d, SMART_LOG_SELFTEST, &block));
    std::unique_ptr<BYTE[]> owned(block);
    EXPECT_EQ(block[0] & 0x3F, 0x10);
    EXPECT_FALSE(m_engine->ReadLog(d, SMART_LOG_SELFTEST, &block)) << "the out pointer must be empty";
    BYTE* other = nullptr;
    EXPECT_FALSE(m_engine->ReadLog(d, 2, &other));
    EXPECT_EQ(other, nullptr);
}
