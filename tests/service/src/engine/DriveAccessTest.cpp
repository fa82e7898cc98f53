// The request blocks the engine sends, seen by a recording device at the
// backend boundary.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "EngineFixture.h"
#include "device/backend.h"
#include "device/scsi_ioctl.h"

namespace {

using plat::device::IoResult;

struct Request {
    ULONG code = 0;
    std::vector<BYTE> in;
    std::size_t outSize = 0;
};

// One disk whose answers a test writes; every request is kept.
class RecordingDisk : public plat::device::DeviceFile, public plat::device::Backend {
public:
    std::function<IoResult(const Request&, std::span<BYTE>)> answer;
    std::vector<Request> requests;

    FILE_FS_DEVICE_INFORMATION DeviceInformation() const override { return {FILE_DEVICE_DISK, 0}; }
    IoResult Control(ULONG code, std::span<const BYTE> in, std::span<BYTE> out) override {
        requests.push_back({code, {in.begin(), in.end()}, out.size()});
        return answer ? answer(requests.back(), out) : IoResult{STATUS_INVALID_DEVICE_REQUEST, 0, {}};
    }
    std::optional<std::u16string> LinkTarget(std::u16string_view) override { return std::nullopt; }
    bool DeviceExists(std::u16string_view name) override { return name == kName; }
    NTSTATUS Open(std::u16string_view name, std::shared_ptr<plat::device::DeviceFile>* file) override {
        if (name != kName) return STATUS_OBJECT_NAME_NOT_FOUND;
        *file = m_self.lock();
        return STATUS_SUCCESS;
    }
    static std::shared_ptr<RecordingDisk> Make() {
        auto disk = std::make_shared<RecordingDisk>();
        disk->m_self = disk;
        return disk;
    }
    static constexpr const char16_t* kName = u"\\Device\\Disk";

private:
    std::weak_ptr<RecordingDisk> m_self;
};

class DriveAccessTest : public ::testing::Test {
protected:
    DriveAccessTest() : m_scope(m_disk) {
        plat::CopyToField(m_node.ntName, kNtNameChars, RecordingDisk::kName);
        m_node.path = 1;
        m_node.target = 2;
        m_node.lun = 3;
        EXPECT_TRUE(m_engine.OpenDevice(&m_node));
    }
    ~DriveAccessTest() override { m_engine.CloseDevice(&m_node); }

    plat::ScopedManualClock m_clock;
    std::shared_ptr<RecordingDisk> m_disk = RecordingDisk::Make();
    plat::device::ScopedBackend m_scope;
    TestEngine m_engine;
    DeviceNode m_node;
};

TEST_F(DriveAccessTest, PassThroughBlockCarriesAddressSenseAndTimeOutInSeconds) {
    m_disk->answer = [](const Request& r, std::span<BYTE> out) {
        std::memcpy(out.data(), r.in.data(), r.in.size());
        return IoResult{STATUS_SUCCESS, static_cast<ULONG>(r.in.size()), {}};
    };
    BYTE data[16];
    PassThroughBlock block = MakePassThrough(scsi::Inquiry(false, 0, 16), SCSI_IOCTL_DATA_IN, data, sizeof data);
    ASSERT_TRUE(m_engine.ScsiCommand(&m_node, &block));
    ASSERT_EQ(m_disk->requests.size(), 1u);
    const Request& r = m_disk->requests[0];
    EXPECT_EQ(r.code, IOCTL_SCSI_PASS_THROUGH_DIRECT);
    ASSERT_EQ(r.in.size(), sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_EQ(r.outSize, sizeof(PassThroughBlock));
    SCSI_PASS_THROUGH_DIRECT sent;
    std::memcpy(&sent, r.in.data(), sizeof sent);
    EXPECT_EQ(sent.Length, sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_EQ(sent.TimeOutValue, 50000u);
    EXPECT_EQ(sent.SenseInfoLength, 18);
    EXPECT_EQ(sent.SenseInfoOffset, offsetof(PassThroughBlock, sense));
    EXPECT_EQ(sent.PathId, 1);
    EXPECT_EQ(sent.TargetId, 2);
    EXPECT_EQ(sent.Lun, 3);
    EXPECT_EQ(sent.CdbLength, 6);
    EXPECT_EQ(sent.Cdb[0], 0x12);
    EXPECT_EQ(sent.DataBuffer, data);

    // A SCSI status other than good is a failure.
    m_disk->answer = [](const Request& r, std::span<BYTE> out) {
        std::memcpy(out.data(), r.in.data(), r.in.size());
        out[offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus)] = SCSISTAT_CHECK_CONDITION;
        return IoResult{STATUS_SUCCESS, static_cast<ULONG>(r.in.size()), {}};
    };
    EXPECT_FALSE(m_engine.ScsiCommand(&m_node, &block));
}

TEST_F(DriveAccessTest, SmartRequestsCarryTheSignatureAndDriveNumber) {
    m_node.flags = NODE_ATA;
    m_node.SetDriveNumber(1);
    m_disk->answer = [](const Request&, std::span<BYTE> out) {
        std::fill(out.begin(), out.end(), BYTE{0x5A});
        out[offsetof(SENDCMDOUTPARAMS, DriverStatus)] = 0;
        return IoResult{STATUS_SUCCESS, static_cast<ULONG>(out.size()), {}};
    };
    BYTE buffer[512] = {};
    ASSERT_TRUE(m_engine.ReceiveSmartData(&m_node, buffer, sizeof buffer, SMART_CMD, READ_ATTRIBUTES, 1, 2));
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_EQ(buffer[511], 0x5A);
    ASSERT_TRUE(m_engine.SendSmartCommand(&m_node, SMART_CMD, ENABLE_SMART, 0, 0));

    ASSERT_EQ(m_disk->requests.size(), 2u);
    const Request& receive = m_disk->requests[0];
    EXPECT_EQ(receive.code, SMART_RCV_DRIVE_DATA);
    ASSERT_EQ(receive.in.size(), 33u);
    EXPECT_EQ(receive.outSize, 512u + 16u);
    SENDCMDINPARAMS in;
    std::memcpy(&in, receive.in.data(), sizeof in);
    EXPECT_EQ(in.cBufferSize, 512u);
    EXPECT_EQ(in.irDriveRegs.bFeaturesReg, READ_ATTRIBUTES);
    EXPECT_EQ(in.irDriveRegs.bSectorCountReg, 1);
    EXPECT_EQ(in.irDriveRegs.bSectorNumberReg, 2);
    EXPECT_EQ(in.irDriveRegs.bCylLowReg, 0x4F);
    EXPECT_EQ(in.irDriveRegs.bCylHighReg, 0xC2);
    EXPECT_EQ(in.irDriveRegs.bDriveHeadReg, 0xB0);
    EXPECT_EQ(in.irDriveRegs.bCommandReg, SMART_CMD);
    EXPECT_EQ(in.bDriveNumber, 1);
    const Request& send = m_disk->requests[1];
    EXPECT_EQ(send.code, SMART_SEND_DRIVE_COMMAND);
    EXPECT_EQ(send.outSize, 17u);
}

TEST_F(DriveAccessTest, ShortOrFailedAnswersLeaveTheBufferAlone) {
    struct Case {
        const char* what;
        ULONG returned;
        BYTE driverError;
        NTSTATUS status;
    };
    const Case cases[] = {
        {"short answer", 16 + 511, 0, STATUS_SUCCESS},
        {"driver error", 16 + 512, SMART_IDE_ERROR, STATUS_SUCCESS},
        {"error status", 16 + 512, 0, STATUS_IO_DEVICE_ERROR},
    };
    for (const Case& c : cases) {
        m_disk->answer = [&c](const Request&, std::span<BYTE> out) {
            std::fill(out.begin(), out.end(), BYTE{0x11});
            out[offsetof(SENDCMDOUTPARAMS, DriverStatus)] = c.driverError;
            return IoResult{c.status, c.returned, {}};
        };
        BYTE buffer[512];
        std::fill(std::begin(buffer), std::end(buffer), BYTE{0xCC});
        EXPECT_FALSE(m_engine.ReceiveSmartData(&m_node, buffer, sizeof buffer, SMART_CMD, READ_ATTRIBUTES, 0, 0))
            << c.what;
        EXPECT_EQ(buffer[0], 0xCC) << c.what;
        EXPECT_EQ(buffer[511], 0xCC) << c.what;
    }
}

TEST_F(DriveAccessTest, PendingRequestIsWaitedForOnTheHandle) {
    m_disk->answer = [](const Request&, std::span<BYTE> out) {
        std::fill(out.begin(), out.end(), BYTE{0});
        return IoResult{STATUS_SUCCESS, static_cast<ULONG>(out.size()), 40};
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

TEST_F(DriveAccessTest, OpenAndCloseKeepOneHandle) {
    EXPECT_FALSE(m_engine.OpenDevice(&m_node)) << "already open";
    EXPECT_TRUE(m_engine.CloseDevice(&m_node));
    EXPECT_FALSE(m_engine.CloseDevice(&m_node)) << "none open";
    EXPECT_FALSE(m_engine.SendSmartCommand(&m_node, SMART_CMD, ENABLE_SMART, 0, 0));
    EXPECT_TRUE(m_engine.OpenDevice(&m_node));
}

}  // namespace
