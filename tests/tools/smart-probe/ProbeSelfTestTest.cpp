#include <gtest/gtest.h>

#include "ProbeOptions.h"
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

    // The demo machine's disk \Device\Harddisk<number>, capabilities read.
    SmartDevice* Disk(DWORD number) {
        SmartDevice* d = m_list;
        while (d && (d->deviceType != 7 || d->deviceNumber != number)) d = d->next;
        if (d) m_engine.ReadCapabilities(d);
        return d;
    }

    plat::ScopedManualClock m_clock;
    plat::device::ScopedSimulation m_sim;
    CSmartFliegendeUntertasse m_engine;
    SmartDevice* m_list = nullptr;
};

// Whole tests on the ATA disk 0 and the SCSI disk 2, whose short test
// outlasts the 30 seconds the engine assumes.
TEST_F(ProbeSelfTest, ShortAndExtendedTestsRunToTheirEnd) {
    const ProbeWait wait = [this](unsigned seconds) { (*m_clock).Advance(std::uint64_t(seconds) * 1000); };
    for (DWORD disk : {0, 2}) {
        for (DWORD type : {DWORD(SMART_TEST_SHORT), DWORD(SMART_TEST_EXTENDED)}) {
            ProbeTestOptions options;
            options.selfTest = type;
            options.pollSeconds = 60;
            std::string out;
            EXPECT_TRUE(RunSelfTest(m_engine, Disk(disk), options, wait, out)) << out;
            EXPECT_NE(out.find("F  running"), std::string::npos) << out;
            EXPECT_NE(out.find("status 0x00  ended with status 0"), std::string::npos) << out;
        }
    }
}

TEST_F(ProbeSelfTest, SelfTestLogIsPrintedAndDecoded) {
    std::string out;
    ASSERT_TRUE(PrintLog(m_engine, Disk(2), SMART_LOG_SELFTEST, out));
    EXPECT_NE(out.find("log selftest: page 0x10"), std::string::npos) << out;
    EXPECT_NE(out.find("    0000  10 00 01 90"), std::string::npos) << out;
    EXPECT_NE(out.find("#1  code"), std::string::npos) << out;
    EXPECT_FALSE(PrintLog(m_engine, Disk(0), SMART_LOG_SELFTEST, out)) << "no log reading on ATA drives";
}

TEST(ProbeTestOptions, BadValuesAreRefused) {
    std::string error;
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--self-test", "long"}, {"--poll-interval", "0"}, {"--poll-interval", "5s"}, {"--log"}}) {
        EXPECT_FALSE(ParseProbeOptions(bad, error)) << bad[0];
        EXPECT_NE(error.find(bad[0]), std::string::npos) << error;
    }
}

}  // namespace
