// Behaviour a profile gives a simulated device: injected failures, a device
// that vanishes, drives that stop off-line activity on a new command, ports
// that forward to their units, and the record of every request.
#include <gtest/gtest.h>

#include "base/clock.h"
#include "device/sim_machine.h"
#include "device_requests.h"

using namespace devtest;
using plat::device::ScopedSimulation;

namespace {

TEST(SimBehaviourTest, RecordsEveryRequestWithItsRegistersOrCdb) {
    ScopedSimulation sim(R"({"devices": [{"name": "\\Device\\A", "kind": "ata-disk"},
                                         {"name": "\\Device\\C", "kind": "cdrom"}]})");
    HANDLE a = Open("\\Device\\A");
    ReadData(a);
    SmartCommand(a, ENABLE_DISABLE_AUTOSAVE, 0xF1);
    HANDLE c = Open("\\Device\\C");
    ScsiIn(c, {0x12, 0, 0, 0, 36, 0}, 36);
    const auto ata = sim->Commands("\\Device\\A");
    ASSERT_EQ(ata.size(), 2u);
    EXPECT_EQ(ata[0].control_code, SMART_RCV_DRIVE_DATA);
    EXPECT_EQ(ata[0].bytes, (std::vector<BYTE>{0xD0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0, 0}));
    EXPECT_EQ(ata[1].AtaFeature(), ENABLE_DISABLE_AUTOSAVE);
    EXPECT_EQ(ata[1].status, STATUS_SUCCESS);
    const auto scsi = sim->Commands("\\Device\\C");
    ASSERT_EQ(scsi.size(), 1u);
    EXPECT_EQ(scsi[0].ScsiOpcode(), 0x12);
    EXPECT_EQ(scsi[0].bytes.size(), 6u);
    sim->ClearCommands();
    EXPECT_EQ(sim->CommandCount("\\Device\\A"), 0u);
    NtClose(a);
    NtClose(c);
}

TEST(SimBehaviourTest, InjectedFailuresSkipAndRepeatAsAsked) {
    ScopedSimulation sim(R"({"devices": [{"name": "\\Device\\A", "kind": "ata-disk", "behaviour": {"failures": [
        {"ata_feature": 208, "skip": 1, "times": 2, "status": "0xC0000185"},
        {"ata_command": 236, "ata_error": 16},
        {"scsi_opcode": 18, "sense": "05 24 00"}]}}]})");
    HANDLE h = Open("\\Device\\A");
    EXPECT_EQ(ReadData(h).status, STATUS_SUCCESS);
    EXPECT_EQ(ReadData(h).status, STATUS_IO_DEVICE_ERROR);
    EXPECT_EQ(ReadData(h).status, STATUS_IO_DEVICE_ERROR);
    EXPECT_EQ(ReadData(h).status, STATUS_SUCCESS);
    const SmartReply identify = Identify(h);
    EXPECT_EQ(identify.driver_error(), SMART_IDE_ERROR);
    EXPECT_EQ(identify.ide_error(), 0x10);
    const ScsiReply inquiry = ScsiIn(h, {0x12, 0, 0, 0, 36, 0}, 36);
    EXPECT_EQ(inquiry.sptd.ScsiStatus, SCSISTAT_CHECK_CONDITION);
    EXPECT_EQ(inquiry.asc(), 0x24);
    EXPECT_EQ(sim->Commands("\\Device\\A")[1].status, STATUS_IO_DEVICE_ERROR);
    NtClose(h);
}

TEST(SimBehaviourTest, DeviceVanishesAfterItsRequests) {
    ScopedSimulation sim(R"({"devices": [{"name": "\\Device\\A", "links": ["\\Device\\L"], "kind": "ata-disk",
                                          "behaviour": {"vanish_after": 2}}]})");
    HANDLE h = Open("\\Device\\L");
    EXPECT_EQ(Identify(h).status, STATUS_SUCCESS);
    EXPECT_EQ(ReadData(h).status, STATUS_SUCCESS);
    EXPECT_EQ(ReadData(h).status, STATUS_NO_SUCH_DEVICE);
    NtClose(h);
    NTSTATUS status = 0;
    EXPECT_EQ(Open("\\Device\\L", &status), nullptr);
    EXPECT_EQ(status, STATUS_OBJECT_NAME_NOT_FOUND);
}

struct StopCase {
    const char* capability;
    BYTE subcommand;
    int byte;       // 362 or 363
    BYTE expected;  // after a new command
};

class StopsOnCommandTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopsOnCommandTest, NewCommandEndsOfflineActivity) {
    plat::ScopedManualClock clock;
    ScopedSimulation sim(std::string(R"({"devices": [{"name": "\\Device\\A", "kind": "ata-disk",
        "ata": {"smart": {"offline_capability": ")") +
                         GetParam().capability + R"("}},
        "behaviour": {"stops_on_command": true}}]})");
    HANDLE h = Open("\\Device\\A");
    ASSERT_EQ(SmartCommand(h, EXECUTE_OFFLINE_DIAGS, 0, GetParam().subcommand).driver_error(), SMART_NO_ERROR);
    clock->Advance(1000);
    EXPECT_EQ(ReadData(h).data()[GetParam().byte], GetParam().expected);
    NtClose(h);
}

INSTANTIATE_TEST_SUITE_P(Activity, StopsOnCommandTest,
                         ::testing::Values(StopCase{"0x5B", 1, 363, 0x29},    // interrupted, 90 % left
                                           StopCase{"0x5B", 0, 362, 0x05},    // collection aborted
                                           StopCase{"0x5F", 0, 362, 0x04}));  // suspended: it can resume

TEST(SimBehaviourTest, DriveThatKeepsTestingAnswersDuringTheTest) {
    plat::ScopedManualClock clock;
    ScopedSimulation sim(R"({"devices": [{"name": "\\Device\\A", "kind": "ata-disk",
        "behaviour": {"selftests": {"short": {"seconds": 100, "result": 7}}}}]})");
    HANDLE h = Open("\\Device\\A");
    SmartCommand(h, EXECUTE_OFFLINE_DIAGS, 0, SMART_SHORT_SELFTEST_OFFLINE);
    clock->Advance(50 * 1000);
    EXPECT_EQ(ReadData(h).data()[363], 0xF5);
    clock->Advance(50 * 1000);
    EXPECT_EQ(ReadData(h).data()[363], 0x70);  // read failure, as the profile says
    NtClose(h);
}

TEST(SimBehaviourTest, PortForwardsToTheUnitItAddresses) {
    ScopedSimulation sim(R"({"devices": [
        {"name": "\\Device\\ScsiPort1", "kind": "scsi-port", "scsi_address": {"port": 1}},
        {"name": "\\Device\\Tape0", "kind": "tape", "scsi_address": {"port": 1, "path": 0, "target": 4, "lun": 0},
         "scsi": {"vendor": "STRANDA"}}]})");
    HANDLE port = Open("\\Device\\ScsiPort1");
    const ScsiReply tape = ScsiIn(port, {0x12, 0, 0, 0, 36, 0}, 36, 4);
    ASSERT_EQ(tape.status, STATUS_SUCCESS);
    EXPECT_EQ(tape.data[0], 0x01);  // a tape
    EXPECT_EQ(std::string(tape.data.begin() + 8, tape.data.begin() + 15), "STRANDA");
    EXPECT_EQ(ScsiIn(port, {0x12, 0, 0, 0, 36, 0}, 36, 5).status, STATUS_NO_SUCH_DEVICE);
    EXPECT_EQ(ScsiIn(port, {0x12, 0, 0, 0, 36, 0}, 36, 0).status, STATUS_NO_SUCH_DEVICE);  // not the port itself
    IO_STATUS_BLOCK iosb;
    SCSI_ADDRESS address;
    EXPECT_EQ(NtDeviceIoControlFile(port, nullptr, nullptr, nullptr, &iosb, IOCTL_SCSI_GET_ADDRESS, nullptr, 0,
                                    &address, sizeof address),
              STATUS_INVALID_DEVICE_REQUEST);
    NtClose(port);
}

}  // namespace
