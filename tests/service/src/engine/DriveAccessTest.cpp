// The request blocks the engine sends, seen by a recording device at the
// backend boundary.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "EngineFixture.h"
#include "device/backend.h"

namespace {

using plat::device::IoResult;

// One disk, \Device\Disk, whose answers the test writes; requests are kept
// as (control code, input bytes, output size).
class RecordingDisk : public plat::device::DeviceFile, public plat::device::Backend {
public:
    struct Request {
        ULONG code;
        std::vector<BYTE> in;
        std::size_t outSize;
    };
    std::function<IoResult(const Request&, std::span<BYTE>)> answer;
    std::vector<Request> requests;
    std::shared_ptr<RecordingDisk> self;

    FILE_FS_DEVICE_INFORMATION DeviceInformation() const override { return {FILE_DEVICE_DISK, 0}; }
    IoResult Control(ULONG code, std::span<const BYTE> in, std::span<BYTE> out) override {
        requests.push_back({code, {in.begin(), in.end()}, out.size()});
        return answer(requests.back(), out);
    }
    std::optional<std::u16string> LinkTarget(std::u16string_view) override { return std::nullopt; }
    bool DeviceExists(std::u16string_view) override { return true; }
    NTSTATUS Open(std::u16string_view, std::shared_ptr<plat::device::DeviceFile>* file) override {
        *file = self;
        return STATUS_SUCCESS;
    }
};

// Answers every request with its own input and `fill` behind it.
IoResult Echo(const RecordingDisk::Request& r, std::span<BYTE> out, BYTE fill = 0, ULONG length = 0) {
    std::fill(out.begin(), out.end(), fill);
    std::memcpy(out.data(), r.in.data(), std::min(r.in.size(), out.size()));
    return IoResult{STATUS_SUCCESS, length ? length : static_cast<ULONG>(out.size()), {}};
}

class DriveAccessTest : public ::testing::Test {
protected:
    DriveAccessTest() : m_scope((m_disk->self = m_disk)) {
        plat::CopyToField(m_node.ntName, kNtNameChars, u"\\Device\\Disk");
        m_node.path = 1;
        m_node.target = 2;
        m_node.lun = 3;
        EXPECT_TRUE(m_engine.OpenDevice(&m_node));
        EXPECT_FALSE(m_engine.OpenDevice(&m_node)) << "one handle per node";
    }
    ~DriveAccessTest() override {
        EXPECT_TRUE(m_engine.CloseDevice(&m_node));
        m_disk->self.reset();
    }

    plat::ScopedManualClock m_clock;
    std::shared_ptr<RecordingDisk> m_disk = std::make_shared<RecordingDisk>();
    plat::device::ScopedBackend m_scope;
    TestEngine m_engine;
    DeviceNode m_node;
};

TEST_F(DriveAccessTest, PassThroughBlockCarriesAddressSenseAndTimeOutInSeconds) {
    BYTE status = SCSISTAT_GOOD;
    m_disk->answer = [&](const auto& r, std::span<BYTE> out) {
        IoResult result = Echo(r, out);
        out[offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus)] = status;
        return result;
    };
    BYTE data[16];
    PassThroughBlock block = MakePassThrough(scsi::Inquiry(false, 0, 16), SCSI_IOCTL_DATA_IN, data, sizeof data);
    ASSERT_TRUE(m_engine.ScsiCommand(&m_node, &block));
    const auto& r = m_disk->requests.at(0);
    EXPECT_EQ(r.code, IOCTL_SCSI_PASS_THROUGH_DIRECT);
    ASSERT_EQ(r.in.size(), sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_EQ(r.outSize, sizeof(PassThroughBlock));
    SCSI_PASS_THROUGH_DIRECT sent;
    std::memcpy(&sent, r.in.data(), sizeof sent);
    EXPECT_EQ(sent.Length, sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_EQ(sent.TimeOutValue, 50000u);
    EXPECT_EQ(sent.SenseInfoLength, 18);
    EXPECT_EQ(sent.SenseInfoOffset, offsetof(PassThroughBlock, sense));
    EXPECT_EQ((std::array{sent.PathId, sent.TargetId, sent.Lun}), (std::array<UCHAR, 3>{1, 2, 3}));
    EXPECT_EQ(sent.CdbLength, 6);
    EXPECT_EQ(sent.Cdb[0], 0x12);
    EXPECT_EQ(sent.DataBuffer, data);

    status = SCSISTAT_CHECK_CONDITION;
    EXPECT_FALSE(m_engine.ScsiCommand(&m_node, &block));
}

TEST_F(DriveAccessTest, SmartRequestsCarryTheSignatureAndDriveNumber) {
    m_node.flags = NODE_ATA;
    m_node.SetDriveNumber(1);
    m_disk->answer = [](const auto& r, std::span<BYTE> out) {
        IoResult result = Echo(r, out, 0x5A);
        out[offsetof(SENDCMDOUTPARAMS, DriverStatus)] = 0;
        return result;
    };
    BYTE buffer[512] = {};
    ASSERT_TRUE(m_engine.ReceiveSmartData(&m_node, buffer, sizeof buffer, SMART_CMD, READ_ATTRIBUTES, 1, 2));
    EXPECT_EQ(buffer[511], 0x5A);
    ASSERT_TRUE(m_engine.SendSmartCommand(&m_node, SMART_CMD, ENABLE_SMART, 0, 0));

    const auto& receive = m_disk->requests.at(0);
    EXPECT_EQ(receive.code, SMART_RCV_DRIVE_DATA);
    ASSERT_EQ(receive.in.size(), 33u);
    EXPECT_EQ(receive.outSize, 512u + 16u);
    SENDCMDINPARAMS in;
    std::memcpy(&in, receive.in.data(), sizeof in);
    EXPECT_EQ(in.cBufferSize, 512u);
    const IDEREGS& regs = in.irDriveRegs;
    EXPECT_EQ((std::array{regs.bFeaturesReg, regs.bSectorCountReg, regs.bSectorNumberReg, regs.bCylLowReg,
                          regs.bCylHighReg, regs.bDriveHeadReg, regs.bCommandReg}),
              (std::array<BYTE, 7>{READ_ATTRIBUTES, 1, 2, 0x4F, 0xC2, 0xB0, SMART_CMD}));
    EXPECT_EQ(in.bDriveNumber, 1);
    EXPECT_EQ(m_disk->requests.at(1).code, SMART_SEND_DRIVE_COMMAND);
    EXPECT_EQ(m_disk->requests.at(1).outSize, 17u);
}

TEST_F(DriveAccessTest, PendingRequestIsWaitedForOnTheHandle) {
    m_disk->answer = [](const auto& r, std::span<BYTE> out) {
        IoResult result = Echo(r, out);
        out[offsetof(SENDCMDOUTPARAMS, DriverStatus)] = 0;
        result.pending_ms = 40;
        return result;
    };
    std::atomic<bool> done{false};
    bool result = false;
    std::thread worker([&] {
        result = m_engine.SendSmartCommand(&m_node, SMART_CMD, ENABLE_SMART, 0, 0);
        done = true;
    });
    // The request completes once the platform clock has moved 40 ms on.
    while (!done) m_clock->Advance(1);
    worker.join();
    EXPECT_TRUE(result);
}

}  // namespace
