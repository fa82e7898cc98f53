// Simulated ATA disks answer the S.M.A.R.T. requests as the ATA standard
// says: identity, data and threshold sectors, switches, health, off-line
// activity and self-tests on the platform clock.
#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "base/clock.h"
#include "device/sim_machine.h"
#include "device_requests.h"

using namespace devtest;
using plat::device::ScopedSimulation;

namespace {

constexpr char kProfile[] = R"({"devices": [{
  "name": "\\Device\\Harddisk0\\DR0", "kind": "ata-disk",
  "ata": {"model": "Ferrowick FW-1000", "serial": "FW12345", "firmware": "1.02A",
          "sectors": 1953525168, "identify_words": {"80": "0x00FE"},
          "smart": {"smart_capability": 1, "offline_capability": "0x5B",
                    "short_minutes": 2, "extended_minutes": 20, "collect_seconds": 300,
                    "attributes": [{"id": 5, "flags": "0x0033", "value": 100, "worst": 99, "raw": 7, "threshold": 36},
                                   {"id": 194, "flags": "0x0022", "value": 40, "raw": 40, "threshold": 0}]}}}]})";

WORD Word(const SmartReply& r, int w) { return static_cast<WORD>(r.data()[2 * w] | r.data()[2 * w + 1] << 8); }

std::string AtaString(const SmartReply& r, int first, int words) {
    std::string s;
    for (int w = first; w < first + words; ++w)
        s += {static_cast<char>(Word(r, w) >> 8), static_cast<char>(Word(r, w))};
    return s;
}

BYTE Sum(const SmartReply& r) { return static_cast<BYTE>(std::accumulate(r.data(), r.data() + 512, 0)); }

class SimAtaDriveTest : public ::testing::Test {
protected:
    plat::ScopedManualClock clock;
    ScopedSimulation sim{kProfile};
    HANDLE h = Open("\\Device\\Harddisk0\\DR0");
    void TearDown() override { NtClose(h); }
    BYTE SelfTestByte() { return ReadData(h).data()[363]; }
};

TEST_F(SimAtaDriveTest, IdentifyCarriesTheIdentityAndTheGivenWords) {
    const SmartReply r = Identify(h);
    ASSERT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(r.information, 16u + 512u);
    EXPECT_EQ(r.driver_error(), SMART_NO_ERROR);
    EXPECT_EQ(AtaString(r, 27, 20), "Ferrowick FW-1000                       ");
    EXPECT_EQ(AtaString(r, 10, 10), "FW12345             ");
    EXPECT_EQ(AtaString(r, 23, 4), "1.02A   ");
    EXPECT_EQ(Word(r, 80), 0x00FE);
    EXPECT_EQ(Word(r, 82) & 1, 1);  // S.M.A.R.T. supported
    EXPECT_EQ(Word(r, 85) & 1, 1);  // and enabled
    EXPECT_EQ(r.data()[510], 0xA5);
    EXPECT_EQ(Sum(r), 0);
}

TEST_F(SimAtaDriveTest, DataAndThresholdSectorsFollowTheStandardLayout) {
    const SmartReply data = ReadData(h);
    ASSERT_EQ(data.driver_error(), SMART_NO_ERROR);
    const BYTE* s = data.data();
    EXPECT_EQ(s[2], 5);
    EXPECT_EQ(s[3] | s[4] << 8, 0x0033);
    EXPECT_EQ(s[5], 100);
    EXPECT_EQ(s[6], 99);
    EXPECT_EQ(s[7], 7);
    EXPECT_EQ(s[14], 194);
    EXPECT_EQ(s[364] | s[365] << 8, 300);
    EXPECT_EQ(s[367], 0x5B);
    EXPECT_EQ(s[368] | s[369] << 8, 1);
    EXPECT_EQ(s[372], 2);
    EXPECT_EQ(s[373], 20);
    EXPECT_EQ(Sum(data), 0);

    const SmartReply thresholds = Smart(h, SMART_CMD, READ_THRESHOLDS, 1, 1, 512);
    EXPECT_EQ(thresholds.data()[2], 5);
    EXPECT_EQ(thresholds.data()[3], 36);
    EXPECT_EQ(Sum(thresholds), 0);
}

TEST_F(SimAtaDriveTest, DisabledSmartAbortsEverythingButEnable) {
    ASSERT_EQ(SmartCommand(h, DISABLE_SMART).driver_error(), SMART_NO_ERROR);
    const SmartReply refused = ReadData(h);
    EXPECT_EQ(refused.status, STATUS_SUCCESS);
    EXPECT_EQ(refused.driver_error(), SMART_IDE_ERROR);
    EXPECT_EQ(refused.ide_error(), 0x04);  // ABRT
    EXPECT_EQ(refused.information, 16u);
    EXPECT_EQ(Word(Identify(h), 85) & 1, 0);

    ASSERT_EQ(SmartCommand(h, ENABLE_SMART).driver_error(), SMART_NO_ERROR);
    EXPECT_EQ(ReadData(h).driver_error(), SMART_NO_ERROR);
    EXPECT_EQ(Word(Identify(h), 85) & 1, 1);
}

TEST_F(SimAtaDriveTest, SwitchesDependOnTheDrivesCapabilities) {
    // Capability word bit 1 clear: no attribute autosave.
    EXPECT_EQ(SmartCommand(h, ENABLE_DISABLE_AUTOSAVE, 0xF1).driver_error(), SMART_IDE_ERROR);
    // Off-line capability bit 1 set: automatic off-line shows in byte 362 bit 7.
    ASSERT_EQ(SmartCommand(h, ENABLE_DISABLE_AUTO_OFFLINE, 0xF8).driver_error(), SMART_NO_ERROR);
    EXPECT_EQ(ReadData(h).data()[362] & 0x80, 0x80);
    ASSERT_EQ(SmartCommand(h, ENABLE_DISABLE_AUTO_OFFLINE, 0x00).driver_error(), SMART_NO_ERROR);
    EXPECT_EQ(ReadData(h).data()[362] & 0x80, 0);
    // A count other than on or off is not a valid request to the drive.
    EXPECT_EQ(SmartCommand(h, ENABLE_DISABLE_AUTO_OFFLINE, 0x01).driver_error(), SMART_IDE_ERROR);
}

TEST_F(SimAtaDriveTest, SelfTestProgressesOnThePlatformClockAndIsLogged) {
    ASSERT_EQ(SmartCommand(h, EXECUTE_OFFLINE_DIAGS, 0, SMART_SHORT_SELFTEST_OFFLINE).driver_error(), SMART_NO_ERROR);
    EXPECT_EQ(SelfTestByte(), 0xF9);
    clock->Advance(60 * 1000);
    EXPECT_EQ(SelfTestByte(), 0xF5);
    clock->Advance(60 * 1000);
    EXPECT_EQ(SelfTestByte(), 0x00);

    const SmartReply log = Smart(h, SMART_CMD, SMART_READ_LOG, 1, 0x06, 512);
    ASSERT_EQ(log.driver_error(), SMART_NO_ERROR);
    EXPECT_EQ(log.data()[508], 1);  // newest descriptor
    EXPECT_EQ(log.data()[2], SMART_SHORT_SELFTEST_OFFLINE);
    EXPECT_EQ(log.data()[3], 0x00);
    EXPECT_EQ(Sum(log), 0);
}

TEST_F(SimAtaDriveTest, AbortEndsARunningSelfTest) {
    SmartCommand(h, EXECUTE_OFFLINE_DIAGS, 0, SMART_EXTENDED_SELFTEST_OFFLINE);
    clock->Advance(6 * 60 * 1000);
    ASSERT_EQ(SmartCommand(h, EXECUTE_OFFLINE_DIAGS, 0, SMART_ABORT_OFFLINE_SELFTEST).driver_error(), SMART_NO_ERROR);
    EXPECT_EQ(SelfTestByte() >> 4, 1);  // aborted by the host
    clock->Advance(60 * 60 * 1000);
    EXPECT_EQ(SelfTestByte() >> 4, 1);
}

TEST_F(SimAtaDriveTest, OfflineCollectionShowsInByte362) {
    SmartCommand(h, EXECUTE_OFFLINE_DIAGS, 0, SMART_OFFLINE_ROUTINE_OFFLINE);
    EXPECT_EQ(ReadData(h).data()[362], 0x03);
    clock->Advance(300 * 1000);
    EXPECT_EQ(ReadData(h).data()[362], 0x02);
}

TEST_F(SimAtaDriveTest, CaptiveSelfTestEndsBeforeTheCommandReturns) {
    ASSERT_EQ(SmartCommand(h, EXECUTE_OFFLINE_DIAGS, 0, SMART_SHORT_SELFTEST_CAPTIVE).driver_error(), SMART_NO_ERROR);
    EXPECT_EQ(SelfTestByte(), 0x00);
}

TEST_F(SimAtaDriveTest, UnsupportedTestTypeIsAborted) {
    // Off-line capability 0x5B lacks bit 5: no conveyance self-test.
    EXPECT_EQ(SmartCommand(h, EXECUTE_OFFLINE_DIAGS, 0, 3).driver_error(), SMART_IDE_ERROR);
}

struct HealthCase {
    const char* attributes;
    const char* return_status;
    BYTE cyl_low, cyl_high;
};

class ReturnStatusTest : public ::testing::TestWithParam<HealthCase> {};

TEST_P(ReturnStatusTest, AnswersThroughTheCylinderRegisters) {
    const HealthCase& c = GetParam();
    ScopedSimulation sim(std::string(R"({"devices": [{"name": "\\Device\\D", "kind": "ata-disk",
        "ata": {"smart": {"return_status": ")") +
                         c.return_status + R"(", "attributes": )" + c.attributes + "}}}]}");
    HANDLE h = Open("\\Device\\D");
    const SmartReply r = Smart(h, SMART_CMD, RETURN_SMART_STATUS);
    EXPECT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(r.information, 24u);
    EXPECT_EQ(r.driver_error(), SMART_NO_ERROR);
    const BYTE* regs = r.data();  // IDEREGS returned behind the header
    EXPECT_EQ(regs[3], c.cyl_low);
    EXPECT_EQ(regs[4], c.cyl_high);
    EXPECT_EQ(regs[6], 0x50);  // status: ready, no error
    NtClose(h);
}

INSTANTIATE_TEST_SUITE_P(
    Health, ReturnStatusTest,
    ::testing::Values(HealthCase{R"([{"id": 5, "flags": 51, "value": 100, "threshold": 36}])", "auto", 0x4F, 0xC2},
                      HealthCase{R"([{"id": 5, "flags": 51, "value": 36, "threshold": 36}])", "auto", 0xF4, 0x2C},
                      // An advisory attribute at its threshold predicts no failure.
                      HealthCase{R"([{"id": 194, "flags": 34, "value": 20, "threshold": 30}])", "auto", 0x4F, 0xC2},
                      HealthCase{R"([])", "exceeded", 0xF4, 0x2C},
                      HealthCase{R"([{"id": 5, "flags": 51, "value": 1, "threshold": 36}])", "healthy", 0x4F, 0xC2}));

}  // namespace
