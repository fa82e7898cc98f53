// Simulated SCSI units answer as SPC and SBC say: INQUIRY and vital product
// data, mode pages with changeable masks, log pages, informational
// exceptions, diagnostics and self-tests.
#include <gtest/gtest.h>

#include "base/clock.h"
#include "device/sim_machine.h"
#include "device_requests.h"

using namespace devtest;
using plat::device::ScopedSimulation;

namespace {

constexpr char kProfile[] = R"({"devices": [{
  "name": "\\Device\\Harddisk0\\DR0", "kind": "scsi-disk",
  "scsi": {"vendor": "ORBELIN", "product": "OX15K300", "revision": "R204", "serial": "3QK0A7Z1",
           "blocks": 585937500,
           "informational_exceptions": {"flags": "0x00", "mrie": 6},
           "extended_selftest_seconds": 2700, "temperature": 33, "reference_temperature": 68,
           "power_on_hours": 1000,
           "diagnostic_pages": {"0x80": "80 00 00 04 00 00 02 58"},
           "log_pages": {"0x03": [{"code": 0, "value": 482211}, {"code": 5, "value": 1099511627776, "size": 8}]}},
  "behaviour": {"selftests": {"short": {"seconds": 90}}}}]})";

std::vector<BYTE> EngineIePage(BYTE flags, BYTE mrie) {
    return {0, 0, 0, 0, 0x1C, 0x0A, flags, mrie, 0, 0, 0, 0, 0, 0, 0, 0};
}

class SimScsiUnitTest : public ::testing::Test {
protected:
    plat::ScopedManualClock clock;
    ScopedSimulation sim{kProfile};
    HANDLE h = Open("\\Device\\Harddisk0\\DR0");
    void TearDown() override { NtClose(h); }

    ScsiReply ModeSense(BYTE page_byte) { return ScsiIn(h, {0x1A, 0x08, page_byte, 0, 16, 0}, 16); }
    ScsiReply ModeSelect(std::vector<BYTE> list, BYTE byte1 = 0x11) {
        const BYTE n = static_cast<BYTE>(list.size());
        return Scsi(h, {0x15, byte1, 0, 0, n, 0}, Dir::kOut, std::move(list));
    }
    ScsiReply LogSense(BYTE page, ULONG allocation = 200) {
        return ScsiIn(h,
                      {0x4D, 0, static_cast<BYTE>(0x40 | page), 0, 0, 0, 0, BYTE(allocation >> 8), BYTE(allocation), 0},
                      allocation);
    }
    void ExpectCheck(const ScsiReply& r, BYTE key, BYTE asc, BYTE ascq = 0) {
        EXPECT_EQ(r.status, STATUS_SUCCESS);
        EXPECT_EQ(r.sptd.ScsiStatus, SCSISTAT_CHECK_CONDITION);
        EXPECT_EQ(r.sense_key(), key);
        EXPECT_EQ(r.asc(), asc);
        EXPECT_EQ(r.ascq(), ascq);
        EXPECT_EQ(r.information, sizeof(SCSI_PASS_THROUGH_DIRECT) + r.sptd.SenseInfoLength);
    }
};

TEST_F(SimScsiUnitTest, InquiryHonoursTheAllocationLength) {
    const ScsiReply r = ScsiIn(h, {0x12, 0, 0, 0, 36, 0}, 56);
    ASSERT_EQ(r.sptd.ScsiStatus, SCSISTAT_GOOD);
    ASSERT_EQ(r.data.size(), 36u);
    EXPECT_EQ(r.data[0], 0x00);
    EXPECT_EQ(std::string(r.data.begin() + 8, r.data.begin() + 36), "ORBELIN OX15K300        R204");
    EXPECT_EQ(r.information, sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_TRUE(r.sense.empty());
}

TEST_F(SimScsiUnitTest, VitalProductDataPages) {
    const ScsiReply serial = ScsiIn(h, {0x12, 1, 0x80, 0, 24, 0}, 24);
    ASSERT_EQ(serial.sptd.ScsiStatus, SCSISTAT_GOOD);
    EXPECT_EQ(serial.data[1], 0x80);
    EXPECT_EQ(serial.data[3], 8);
    EXPECT_EQ(std::string(serial.data.begin() + 4, serial.data.begin() + 12), "3QK0A7Z1");
    const ScsiReply list = ScsiIn(h, {0x12, 1, 0x00, 0, 24, 0}, 24);
    EXPECT_EQ(std::vector<BYTE>(list.data.begin() + 4, list.data.end()), (std::vector<BYTE>{0x00, 0x80}));
    ExpectCheck(ScsiIn(h, {0x12, 1, 0x83, 0, 24, 0}, 24), 0x05, 0x24);
}

TEST_F(SimScsiUnitTest, InformationalExceptionsPageCurrentAndChangeable) {
    const ScsiReply current = ModeSense(0x1C);
    ASSERT_EQ(current.data.size(), 16u);
    EXPECT_EQ(current.data[0], 15);  // mode data length
    EXPECT_EQ(current.data[3], 0);   // no block descriptors
    EXPECT_EQ(current.data[4] & 0x3F, 0x1C);
    EXPECT_EQ(current.data[6], 0x00);
    EXPECT_EQ(current.data[7], 6);
    const ScsiReply changeable = ModeSense(0x5C);
    EXPECT_EQ(changeable.data[6] & 0x29, 0x29);  // EBF, DEXCPT and LOGERR can change
}

TEST_F(SimScsiUnitTest, ModeSelectChangesWhatModeSenseReturns) {
    ASSERT_EQ(ModeSelect(EngineIePage(0x21, 6)).sptd.ScsiStatus, SCSISTAT_GOOD);
    EXPECT_EQ(ModeSense(0x1C).data[6], 0x21);
    EXPECT_EQ(ModeSense(0xDC).data[6], 0x21);  // saved too (SP set)
    ASSERT_EQ(ModeSelect(EngineIePage(0x08, 0), 0x10).sptd.ScsiStatus, SCSISTAT_GOOD);
    EXPECT_EQ(ModeSense(0x1C).data[6], 0x08);
    EXPECT_EQ(ModeSense(0xDC).data[6], 0x21);  // not saved without SP
    EXPECT_EQ(ModeSense(0x9C).data[6], 0x00);  // default values stay
}

TEST_F(SimScsiUnitTest, ModeSelectRefusesFieldsThatCannotChange) {
    std::vector<BYTE> list = EngineIePage(0x00, 6);
    list[6] = 0x40;  // a reserved bit
    ExpectCheck(ModeSelect(list), 0x05, 0x26);
    list = EngineIePage(0x00, 6);
    list[5] = 0x08;  // wrong page length
    ExpectCheck(ModeSelect(list), 0x05, 0x26);
    EXPECT_EQ(ModeSense(0x1C).data[6], 0x00);  // nothing changed
}

TEST_F(SimScsiUnitTest, ControlPageCarriesTheExtendedSelfTestTime) {
    const ScsiReply r = ModeSense(0x0A);
    ASSERT_GE(r.data.size(), 16u);
    EXPECT_EQ(r.data[14] << 8 | r.data[15], 2700);
}

TEST_F(SimScsiUnitTest, LogPagesListAndContents) {
    const ScsiReply list = LogSense(0x00);
    EXPECT_EQ(std::vector<BYTE>(list.data.begin() + 4, list.data.end()),
              (std::vector<BYTE>{0x00, 0x03, 0x0D, 0x10, 0x2F}));
    const ScsiReply ie = LogSense(0x2F);
    EXPECT_EQ(ie.data[3], 7);    // page length
    EXPECT_EQ(ie.data[7], 3);    // parameter length
    EXPECT_EQ(ie.data[8], 0);    // no exception
    EXPECT_EQ(ie.data[10], 33);  // temperature
    const ScsiReply temperature = LogSense(0x0D);
    EXPECT_EQ(temperature.data[9], 33);
    EXPECT_EQ(temperature.data[15], 68);
    const ScsiReply read_errors = LogSense(0x03);
    EXPECT_EQ(read_errors.data[7], 4);
    EXPECT_EQ(
        (read_errors.data[8] << 24 | read_errors.data[9] << 16 | read_errors.data[10] << 8 | read_errors.data[11]),
        482211);
    EXPECT_EQ(read_errors.data[15], 8);
    ExpectCheck(LogSense(0x02), 0x05, 0x24);
}

TEST_F(SimScsiUnitTest, BackgroundSelfTestRunsOnTheClockIntoTheResultsPage) {
    ASSERT_EQ(Scsi(h, {0x1D, 0x30, 0, 0, 0, 0}, Dir::kNone, {}).sptd.ScsiStatus, SCSISTAT_GOOD);
    ScsiReply page = LogSense(0x10);
    EXPECT_EQ(page.data[4] << 8 | page.data[5], 0x0001);
    EXPECT_EQ(page.data[8], 0x20 | 0x0F);  // background short, in progress
    // A second test while one runs is refused.
    ExpectCheck(Scsi(h, {0x1D, 0x50, 0, 0, 0, 0}, Dir::kNone, {}), 0x02, 0x04, 0x09);
    clock->Advance(90 * 1000);
    page = LogSense(0x10);
    EXPECT_EQ(page.data[8], 0x20);  // completed without error
    EXPECT_EQ(page.data[10] << 8 | page.data[11], 1000);
}

TEST_F(SimScsiUnitTest, AbortEndsTheBackgroundSelfTest) {
    Scsi(h, {0x1D, 0x50, 0, 0, 0, 0}, Dir::kNone, {});
    ASSERT_EQ(Scsi(h, {0x1D, 0x90, 0, 0, 0, 0}, Dir::kNone, {}).sptd.ScsiStatus, SCSISTAT_GOOD);
    EXPECT_EQ(LogSense(0x10).data[8], 0x40 | 0x01);                              // extended, aborted
    ExpectCheck(Scsi(h, {0x1D, 0x90, 0, 0, 0, 0}, Dir::kNone, {}), 0x05, 0x24);  // nothing left to abort
}

TEST_F(SimScsiUnitTest, DiagnosticPagesAfterSendDiagnostic) {
    ASSERT_EQ(Scsi(h, {0x1D, 0x10, 0, 0, 4, 0}, Dir::kOut, {0, 0, 0, 0}).sptd.ScsiStatus, SCSISTAT_GOOD);
    const ScsiReply list = ScsiIn(h, {0x1C, 0, 0, 0, 200, 0}, 200);
    ASSERT_EQ(list.data.size(), 6u);
    EXPECT_EQ(list.data[3], 2);
    EXPECT_EQ(list.data[5], 0x80);
    const ScsiReply page = ScsiIn(h, {0x1C, 1, 0x80, 0, 8, 0}, 8);
    EXPECT_EQ(page.data[6] << 8 | page.data[7], 600);
}

TEST_F(SimScsiUnitTest, UnknownOperationIsAnIllegalRequest) {
    ExpectCheck(ScsiIn(h, {0xC5, 0, 0, 0, 0, 0}, 0), 0x05, 0x20);
}

struct SenseCase {
    const char* ie;
    BYTE asc, ascq;
};

class RequestSenseTest : public ::testing::TestWithParam<SenseCase> {};

TEST_P(RequestSenseTest, ReportsInformationalExceptionsOnRequest) {
    ScopedSimulation sim(std::string(R"({"devices": [{"name": "\\Device\\S", "kind": "scsi-disk",
        "scsi": {"informational_exceptions": )") +
                         GetParam().ie + "}}]}");
    HANDLE h = Open("\\Device\\S");
    const ScsiReply r = ScsiIn(h, {0x03, 0, 0, 0, 18, 0}, 18);
    ASSERT_EQ(r.data.size(), 18u);
    EXPECT_EQ(r.data[0], 0x70);
    EXPECT_EQ(r.data[12], GetParam().asc);
    EXPECT_EQ(r.data[13], GetParam().ascq);
    NtClose(h);
}

INSTANTIATE_TEST_SUITE_P(Sense, RequestSenseTest,
                         ::testing::Values(SenseCase{R"({"mrie": 6})", 0, 0},
                                           SenseCase{R"({"mrie": 6, "asc": "0x5D", "ascq": "0x10"})", 0x5D, 0x10},
                                           SenseCase{R"({"mrie": 6, "flags": 8, "asc": "0x5D"})", 0, 0},
                                           SenseCase{R"({"mrie": 6, "flags": 4})", 0x5D, 0xFF},
                                           SenseCase{R"({"mrie": 3, "asc": "0x5D"})", 0, 0}));

}  // namespace

namespace {

TEST(SimScsiProfilePagesTest, ProfilePagesReplaceTheGeneratedOnes) {
    ScopedSimulation sim(R"({"devices": [{"name": "\\Device\\S", "kind": "scsi-disk", "scsi": {
        "informational_exceptions": {"asc": "0x5D"}, "temperature": 40,
        "log_pages": {"0x2F": "2F 00 00 07 00 00 03 03 0B 01 50", "0x0D": [{"code": 0, "hex": "00 2A"}]}}}]})");
    HANDLE h = Open("\\Device\\S");
    const ScsiReply ie = ScsiIn(h, {0x4D, 0, 0x6F, 0, 0, 0, 0, 0, 200, 0}, 200);
    EXPECT_EQ(ie.data, (std::vector<BYTE>{0x2F, 0, 0, 7, 0, 0, 3, 3, 0x0B, 0x01, 0x50}));
    const ScsiReply temperature = ScsiIn(h, {0x4D, 0, 0x4D, 0, 0, 0, 0, 0, 200, 0}, 200);
    EXPECT_EQ(temperature.data, (std::vector<BYTE>{0x0D, 0, 0, 6, 0, 0, 3, 2, 0x00, 0x2A}));
    NtClose(h);
}

}  // namespace
