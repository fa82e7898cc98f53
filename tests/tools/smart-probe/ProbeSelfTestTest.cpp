#include <gtest/gtest.h>

#include "ProbeOptions.h"
#include "ProbeSelfTest.h"
#include "base/clock.h"
#include "device/sim_machine.h"
#include "engine/CSmartFliegendeUntertasse.h"

namespace {

class ProbeSelfTest : public ::testing::Test {
protected:
    ProbeSelfTest() {
        m_engine.UseHistory(false);
        m_list = m_engine.GetDevices();
    }
    ~ProbeSelfTest() override { FreeSmartDeviceList(m_list); }

    // The disk \Device\Harddisk<number>.
    SmartDevice* Disk(DWORD number) {
        SmartDevice* d = m_list;
        while (d && (d->deviceType != 7 || d->deviceNumber != number)) d = d->next;
        return d;
    }
    ProbeWait Wait() {
        return [this](unsigned seconds) { (*m_clock).Advance(std::uint64_t(seconds) * 1000); };
    }

    plat::ScopedManualClock m_clock;
    plat::device::ScopedSimulation m_sim;  // the demo machine
    CSmartFliegendeUntertasse m_engine;
    SmartDevice* m_list = nullptr;
};

// Whole tests on the demo machine's first ATA disk (0) and its SCSI disk (2), the
// SCSI short test outlasting the 30 seconds the engine assumes.
TEST_F(ProbeSelfTest, ShortAndExtendedTestsRunToTheirEnd) {
    const struct {
        DWORD device;
        DWORD type;
    } cases[] = {{0, SMART_TEST_SHORT}, {0, SMART_TEST_EXTENDED}, {2, SMART_TEST_SHORT}, {2, SMART_TEST_EXTENDED}};
    for (const auto& c : cases) {
        SmartDevice* d = Disk(c.device);
        ASSERT_NE(d, nullptr);
        m_engine.ReadCapabilities(d);
        ProbeTestOptions options;
        options.selfTest = c.type;
        options.pollSeconds = 60;
        std::string out;
        EXPECT_TRUE(RunSelfTest(m_engine, d, options, Wait(), out)) << out;
        EXPECT_NE(out.find("status 0x00  ended with status 0"), std::string::npos) << out;
        EXPECT_NE(out.find("F  running, "), std::string::npos) << out;
    }
}

TEST_F(ProbeSelfTest, AbortAfterStopsTheTest) {
    SmartDevice* d = Disk(0);
    ASSERT_TRUE(m_engine.ReadCapabilities(d));
    ProbeTestOptions options;
    options.selfTest = SMART_TEST_EXTENDED;
    options.abortAfter = 20;
    std::string out;
    EXPECT_TRUE(RunSelfTest(m_engine, d, options, Wait(), out));
    EXPECT_NE(out.find("    20s  abort ok"), std::string::npos) << out;
    EXPECT_EQ(out.find("    30s"), std::string::npos) << out;
    EXPECT_NE(m_engine.GetDevices(), nullptr) << "no longer busy";
}

TEST_F(ProbeSelfTest, SelfTestLogIsPrintedAndDecoded) {
    SmartDevice* scsi = Disk(2);
    ASSERT_TRUE(m_engine.ReadCapabilities(scsi));
    std::string out;
    ASSERT_TRUE(PrintLog(m_engine, scsi, SMART_LOG_SELFTEST, out));
    EXPECT_NE(out.find("log selftest: page 0x10"), std::string::npos) << out;
    EXPECT_NE(out.find("    0000  10 00 01 90"), std::string::npos) << out;
    EXPECT_NE(out.find("#1  code"), std::string::npos) << out;

    std::string ata;
    EXPECT_FALSE(PrintLog(m_engine, Disk(0), SMART_LOG_SELFTEST, ata));
}

TEST(ProbeTestOptions, ParsesValuesAndRefusesBadOnes) {
    std::string error;
    const auto good = ParseProbeOptions({"--self-test", "extended", "--poll-interval", "5", "--abort-after", "0",
                                         "--log", "selftest", "--keep-history"},
                                        error);
    ASSERT_TRUE(good) << error;
    EXPECT_EQ(good->test.selfTest, SMART_TEST_EXTENDED);
    EXPECT_EQ(good->test.pollSeconds, 5u);
    EXPECT_EQ(good->test.abortAfter, 0u);
    EXPECT_EQ(good->test.log, SMART_LOG_SELFTEST);
    EXPECT_TRUE(good->test.keepHistory);

    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--self-test", "long"}, {"--self-test"}, {"--poll-interval", "0"}, {"--poll-interval", "5s"},
             {"--log", "2"}}) {
        EXPECT_FALSE(ParseProbeOptions(bad, error)) << bad[0];
        EXPECT_NE(error.find(bad[0]), std::string::npos) << error;
    }
}

}  // namespace
