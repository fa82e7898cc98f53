// The Linux backend at the system-call boundary: the NT namespace over a
// recorded sysfs, S.M.A.R.T. requests as ATA PASS-THROUGH (16) with the
// registers taken back from recorded sense data, and SCSI pass-through
// through SG_IO.
#include <fcntl.h>
#include <scsi/sg.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <map>

#include "device/backend.h"
#include "device/linux_backend.h"
#include "device_requests.h"

using namespace devtest;
using plat::device::LinuxSystem;

namespace {

// One recorded answer to SG_IO.
struct Answer {
    int error = 0;  // errno of the call itself
    unsigned char status = 0;
    unsigned short host = 0, driver = 0;
    std::vector<BYTE> sense;
    std::vector<BYTE> data;  // copied into the transfer buffer
    int resid = 0;
};

Answer CheckCondition(std::vector<BYTE> sense, unsigned char status = 0x02) {
    Answer a;
    a.status = status;
    a.driver = 0x08;  // sense data present
    a.sense = std::move(sense);
    return a;
}

Answer DataIn(std::vector<BYTE> data, int resid = 0) {
    Answer a;
    a.data = std::move(data);
    a.resid = resid;
    return a;
}

Answer CallFails(int error) {
    Answer a;
    a.error = error;
    return a;
}

Answer HostStatus(unsigned short host) {
    Answer a;
    a.host = host;
    return a;
}

struct Sent {
    std::string path;
    std::vector<BYTE> cdb;
    int direction = 0;
    unsigned length = 0, timeout = 0;
};

class FakeSystem final : public LinuxSystem {
public:
    std::map<std::string, std::vector<std::string>> dirs;
    std::map<std::string, std::string> files, links;
    std::map<std::string, int> open_flags;  // path -> flags of the last open
    std::map<std::string, int> open_errors;  // path -> errno its open fails with
    std::deque<Answer> answers;
    std::vector<Sent> sent;
    int open_fds = 0;

    int Open(const std::string& path, int flags) override {
        if (!files.count(path)) return -ENOENT;
        if (open_errors.count(path)) return -open_errors[path];
        open_flags[path] = flags;
        ++open_fds;
        m_paths[m_next] = path;
        return m_next++;
    }
    void Close(int fd) override {
        m_paths.erase(fd);
        --open_fds;
    }
    int SgIo(int fd, sg_io_hdr* h) override {
        sent.push_back(Sent{m_paths[fd], std::vector<BYTE>(h->cmdp, h->cmdp + h->cmd_len), h->dxfer_direction,
                            h->dxfer_len, h->timeout});
        if (answers.empty()) return -EIO;
        const Answer a = answers.front();
        answers.pop_front();
        if (a.error) return -a.error;
        h->status = a.status;
        h->host_status = a.host;
        h->driver_status = a.driver;
        h->sb_len_wr = static_cast<unsigned char>(std::min<std::size_t>(a.sense.size(), h->mx_sb_len));
        std::copy_n(a.sense.begin(), h->sb_len_wr, static_cast<BYTE*>(h->sbp));
        std::copy_n(a.data.begin(), std::min<std::size_t>(a.data.size(), h->dxfer_len), static_cast<BYTE*>(h->dxferp));
        h->resid = a.resid;
        return 0;
    }
    std::vector<std::string> ListDirectory(const std::string& path) override {
        const auto it = dirs.find(path);
        return it == dirs.end() ? std::vector<std::string>{} : it->second;
    }
    std::optional<std::string> ReadFile(const std::string& path) override {
        const auto it = files.find(path);
        return it == files.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<std::string> LinkName(const std::string& path) override {
        const auto it = links.find(path);
        return it == links.end() ? std::nullopt : std::optional(it->second);
    }

private:
    std::map<int, std::string> m_paths;
    int m_next = 3;
};

// Descriptor-format sense with an ATA status return descriptor.
std::vector<BYTE> DescriptorSense(BYTE key, BYTE error, BYTE low, BYTE mid, BYTE high, BYTE status) {
    return {0x72, key, 0x00, 0x1D, 0, 0, 0, 14, 0x09, 0x0C, 0x00, error, 0, 0, 0, low, 0, mid, 0, high, 0xA0, status};
}

// Fixed-format sense: registers in the information and command-specific fields.
std::vector<BYTE> FixedSense(BYTE error, BYTE status, BYTE low, BYTE mid, BYTE high) {
    return {0x70, 0, 0x01, error, status, 0xA0, 0x00, 10, 0, low, mid, high, 0x00, 0x1D, 0, 0, 0, 0};
}

class LinuxBackendTest : public ::testing::Test {
protected:
    LinuxBackendTest() {
        fake->dirs["/sys/block"] = {"sdb", "vda", "sda", "sdaa", "sdc", "sr0", "fd0", "loop0"};
        fake->dirs["/sys/class/scsi_tape"] = {"nst0", "st0"};
        fake->dirs["/sys/class/scsi_host"] = {"host0", "host2"};
        fake->dirs["/sys/class/scsi_device/2:0:4:0/device/scsi_generic"] = {"sg7"};
        for (const char* node :
             {"/dev/sda", "/dev/sdb", "/dev/sdc", "/dev/sdaa", "/dev/sr0", "/dev/nst0", "/dev/fd0", "/dev/sg7"})
            fake->files[node] = "";
        fake->files["/sys/block/sda/device/vendor"] = "ATA     \n";
        fake->files["/sys/block/sdb/device/vendor"] = "USBBRIDG\n";
        fake->files["/sys/block/sdb/removable"] = "1\n";
        fake->files["/sys/block/sda/removable"] = "0\n";
        fake->links["/sys/block/sda/device"] = "2:0:1:0";
        fake->links["/sys/class/scsi_tape/nst0/device"] = "2:0:5:0";
    }

    std::shared_ptr<FakeSystem> fake = std::make_shared<FakeSystem>();
    plat::device::ScopedBackend backend{plat::device::MakeLinuxBackend(fake)};
};

std::string LinkOf(const std::string& name) {
    std::u16string wide(name.begin(), name.end());
    UNICODE_STRING us;
    RtlInitUnicodeString(&us, wide.c_str());
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &us, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE link = nullptr;
    if (!NT_SUCCESS(NtOpenSymbolicLinkObject(&link, GENERIC_READ, &oa))) return "";
    WCHAR buffer[100];
    UNICODE_STRING target{0, sizeof buffer, buffer};
    NtQuerySymbolicLinkObject(link, &target, nullptr);
    NtClose(link);
    return std::string(buffer, buffer + target.Length / 2);
}

TEST_F(LinuxBackendTest, NamesMapOntoTheMachinesNodes) {
    EXPECT_EQ(LinkOf("\\Device\\Harddisk3\\Partition0"), "\\Device\\Harddisk3\\DR3");
    EXPECT_EQ(LinkOf("\\Device\\Harddisk4\\Partition0"), "");
    const std::pair<const char*, const char*> cases[] = {{"\\Device\\Harddisk0\\Partition0", "/dev/sda"},
                                                         {"\\Device\\Harddisk1\\DR1", "/dev/sdb"},
                                                         {"\\device\\harddisk3\\dr3", "/dev/sdaa"},
                                                         {"\\Device\\CdRom0", "/dev/sr0"},
                                                         {"\\Device\\Tape0", "/dev/nst0"},
                                                         {"\\Device\\Floppy0", "/dev/fd0"}};
    for (const auto& [name, node] : cases) {
        HANDLE h = Open(name);
        EXPECT_NE(h, nullptr) << name;
        EXPECT_EQ(fake->open_flags[node], O_RDONLY | O_NONBLOCK) << name;
        NtClose(h);
    }
    EXPECT_EQ(fake->open_fds, 0);
    for (const char* missing : {"\\Device\\Harddisk4\\DR4", "\\Device\\Harddisk1\\DR0", "\\Device\\CdRom1",
                                "\\Device\\ScsiPort1", "\\Device\\Tape"}) {
        NTSTATUS status = 0;
        EXPECT_EQ(Open(missing, &status), nullptr) << missing;
        EXPECT_EQ(status, STATUS_OBJECT_NAME_NOT_FOUND) << missing;
    }
}

TEST_F(LinuxBackendTest, DeviceTypeRemovableFlagAndAddressComeFromSysfs) {
    struct Case {
        const char* name;
        ULONG type, characteristics;
    } cases[] = {{"\\Device\\Harddisk0\\DR0", FILE_DEVICE_DISK, 0},
                 {"\\Device\\Harddisk1\\DR1", FILE_DEVICE_DISK, FILE_REMOVABLE_MEDIA},
                 {"\\Device\\CdRom0", FILE_DEVICE_CD_ROM, FILE_REMOVABLE_MEDIA},
                 {"\\Device\\Tape0", FILE_DEVICE_TAPE, FILE_REMOVABLE_MEDIA},
                 {"\\Device\\ScsiPort2", FILE_DEVICE_CONTROLLER, 0}};
    for (const Case& c : cases) {
        HANDLE h = Open(c.name);
        FILE_FS_DEVICE_INFORMATION info{};
        IO_STATUS_BLOCK iosb;
        ASSERT_EQ(NtQueryVolumeInformationFile(h, &iosb, &info, sizeof info, FileFsDeviceInformation), STATUS_SUCCESS);
        EXPECT_EQ(info.DeviceType, c.type) << c.name;
        EXPECT_EQ(info.Characteristics, c.characteristics) << c.name;
        NtClose(h);
    }
    HANDLE h = Open("\\Device\\Tape0");
    SCSI_ADDRESS address{};
    IO_STATUS_BLOCK iosb;
    ASSERT_EQ(NtDeviceIoControlFile(h, nullptr, nullptr, nullptr, &iosb, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address,
                                    sizeof address),
              STATUS_SUCCESS);
    EXPECT_EQ(address.PortNumber, 2);
    EXPECT_EQ(address.TargetId, 5);
    NtClose(h);
}

GETVERSIONINPARAMS Version(HANDLE h, NTSTATUS* status) {
    GETVERSIONINPARAMS v{};
    IO_STATUS_BLOCK iosb;
    *status = NtDeviceIoControlFile(h, nullptr, nullptr, nullptr, &iosb, SMART_GET_VERSION, nullptr, 0, &v, sizeof v);
    return v;
}

TEST_F(LinuxBackendTest, SmartVersionForTranslatedDisksOnly) {
    HANDLE sata = Open("\\Device\\Harddisk0\\DR0");
    NTSTATUS status = 0;
    const GETVERSIONINPARAMS v = Version(sata, &status);
    EXPECT_EQ(status, STATUS_SUCCESS);
    EXPECT_EQ(v.fCapabilities & (CAP_ATA_ID_CMD | CAP_SMART_CMD), CAP_ATA_ID_CMD | CAP_SMART_CMD);
    EXPECT_EQ(v.bIDEDeviceMap, 0x02);  // target 1
    EXPECT_TRUE(fake->sent.empty());   // known from the vendor, nothing sent
    NtClose(sata);

    // A bridge is asked with CHECK POWER MODE; one that rejects the
    // pass-through command has no S.M.A.R.T. interface.
    fake->answers.push_back(CheckCondition({0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0x00}));
    HANDLE bridge = Open("\\Device\\Harddisk1\\DR1");
    Version(bridge, &status);
    EXPECT_EQ(status, STATUS_INVALID_DEVICE_REQUEST);
    ASSERT_EQ(fake->sent.size(), 1u);
    EXPECT_EQ(fake->sent[0].cdb[14], 0xE5);
    NtClose(bridge);

    HANDLE cd = Open("\\Device\\CdRom0");
    Version(cd, &status);
    EXPECT_EQ(status, STATUS_INVALID_DEVICE_REQUEST);
    NtClose(cd);
}

TEST_F(LinuxBackendTest, ReadDataTravelsAsPioDataIn) {
    std::vector<BYTE> sector(512);
    sector[2] = 9;
    fake->answers.push_back(DataIn(sector));
    HANDLE h = Open("\\Device\\Harddisk0\\DR0");
    const SmartReply r = ReadData(h);
    ASSERT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(r.driver_error(), SMART_NO_ERROR);
    EXPECT_EQ(r.data()[2], 9);
    ASSERT_EQ(fake->sent.size(), 1u);
    EXPECT_EQ(fake->sent[0].cdb,
              (std::vector<BYTE>{0x85, 0x08, 0x0E, 0, 0xD0, 0, 1, 0, 1, 0, 0x4F, 0, 0xC2, 0xA0, 0xB0, 0}));
    EXPECT_EQ(fake->sent[0].direction, SG_DXFER_FROM_DEV);
    EXPECT_EQ(fake->sent[0].length, 512u);
    // IDENTIFY with a count register of 0 still asks the translation for one sector.
    fake->answers.push_back(DataIn(sector));
    EXPECT_EQ(Smart(h, ID_CMD, 0, 0, 0, 512).status, STATUS_SUCCESS);
    EXPECT_EQ(fake->sent[1].cdb[6], 1);
    NtClose(h);
}

struct StatusCase {
    const char* what;
    Answer answer;
    BYTE cyl_low, cyl_high;
};

class ReturnStatusSenseTest : public LinuxBackendTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(ReturnStatusSenseTest, RegistersComeBackFromTheSenseData) {
    fake->answers.push_back(GetParam().answer);
    HANDLE h = Open("\\Device\\Harddisk0\\DR0");
    const SmartReply r = Smart(h, SMART_CMD, RETURN_SMART_STATUS);
    ASSERT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(r.driver_error(), SMART_NO_ERROR);
    EXPECT_EQ(r.data()[3], GetParam().cyl_low);
    EXPECT_EQ(r.data()[4], GetParam().cyl_high);
    EXPECT_EQ(fake->sent[0].cdb[1], 0x06);  // non-data
    EXPECT_EQ(fake->sent[0].cdb[2], 0x20);  // CK_COND
    NtClose(h);
}

INSTANTIATE_TEST_SUITE_P(
    Sense, ReturnStatusSenseTest,
    ::testing::Values(
        StatusCase{"descriptor healthy", CheckCondition(DescriptorSense(0x01, 0, 0xDA, 0x4F, 0xC2, 0x50)), 0x4F, 0xC2},
        StatusCase{"descriptor exceeded", CheckCondition(DescriptorSense(0x01, 0, 0xDA, 0xF4, 0x2C, 0x50)), 0xF4, 0x2C},
        StatusCase{"fixed exceeded", CheckCondition(FixedSense(0, 0x50, 0xDA, 0xF4, 0x2C)), 0xF4, 0x2C},
        StatusCase{"descriptor with status good", CheckCondition(DescriptorSense(0, 0, 0, 0x4F, 0xC2, 0x50), 0x00),
                   0x4F, 0xC2}));

TEST_F(LinuxBackendTest, BridgeWithoutCylinderRegistersFallsBackToAttributes) {
    std::vector<BYTE> values(512), thresholds(512);
    values[2] = 5, values[3] = 0x33, values[5] = 30;                           // pre-failure, value 30
    thresholds[2] = 5, thresholds[3] = 36;                                     // threshold 36
    fake->answers.push_back(CheckCondition(FixedSense(0, 0x50, 0xDA, 0, 0)));  // low register only
    fake->answers.push_back(DataIn(values));
    fake->answers.push_back(DataIn(thresholds));
    HANDLE h = Open("\\Device\\Harddisk0\\DR0");
    const SmartReply r = Smart(h, SMART_CMD, RETURN_SMART_STATUS);
    EXPECT_EQ(r.data()[3], 0xF4);
    EXPECT_EQ(r.data()[4], 0x2C);
    ASSERT_EQ(fake->sent.size(), 3u);
    EXPECT_EQ(fake->sent[1].cdb[4], READ_ATTRIBUTES);
    EXPECT_EQ(fake->sent[2].cdb[4], READ_THRESHOLDS);
    NtClose(h);
}

TEST_F(LinuxBackendTest, FailuresKeepTheirMeaning) {
    struct Case {
        const char* what;
        Answer answer;
        NTSTATUS status;
        BYTE driver_error, ide_error;
    } cases[] = {
        {"no permission", CallFails(EACCES), STATUS_ACCESS_DENIED, 0, 0},
        {"timed out", HostStatus(0x03), STATUS_IO_TIMEOUT, 0, 0},
        {"drive aborts", CheckCondition(DescriptorSense(0x0B, 0x04, 0, 0x4F, 0xC2, 0x51)), STATUS_SUCCESS,
         SMART_IDE_ERROR, 0x04},
        {"short transfer", DataIn(std::vector<BYTE>(512), 256), STATUS_IO_DEVICE_ERROR, 0, 0},
    };
    for (const Case& c : cases) {
        fake->answers = {c.answer};
        HANDLE h = Open("\\Device\\Harddisk0\\DR0");
        const SmartReply r = ReadData(h);
        EXPECT_EQ(r.status, c.status) << c.what;
        if (NT_SUCCESS(c.status)) {
            EXPECT_EQ(r.driver_error(), c.driver_error) << c.what;
            EXPECT_EQ(r.ide_error(), c.ide_error) << c.what;
        }
        NtClose(h);
    }
}

TEST_F(LinuxBackendTest, PassThroughCarriesStatusSenseAndResidue) {
    fake->answers.push_back(CheckCondition({0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24, 0x00, 0, 0, 0, 0}));
    fake->answers.push_back(DataIn(std::vector<BYTE>(36, 0x41), 20));
    HANDLE h = Open("\\Device\\Tape0");
    const ScsiReply refused = ScsiIn(h, {0x4D, 0, 0x6F, 0, 0, 0, 0, 0, 200, 0}, 200);
    EXPECT_EQ(refused.sptd.ScsiStatus, SCSISTAT_CHECK_CONDITION);
    EXPECT_EQ(refused.asc(), 0x24);
    EXPECT_EQ(fake->sent[0].timeout, 50000u * 1000u);
    const ScsiReply inquiry = ScsiIn(h, {0x12, 0, 0, 0, 56, 0}, 56);
    EXPECT_EQ(inquiry.sptd.ScsiStatus, SCSISTAT_GOOD);
    EXPECT_EQ(inquiry.sptd.DataTransferLength, 36u);
    EXPECT_TRUE(inquiry.sense.empty());
    NtClose(h);
}

TEST_F(LinuxBackendTest, PortForwardsToTheAddressedUnit) {
    fake->answers.push_back(DataIn(std::vector<BYTE>(36, 0)));
    HANDLE h = Open("\\Device\\ScsiPort2");
    EXPECT_EQ(ScsiIn(h, {0x12, 0, 0, 0, 36, 0}, 36, 4).status, STATUS_SUCCESS);
    ASSERT_EQ(fake->sent.size(), 1u);
    EXPECT_EQ(fake->sent[0].path, "/dev/sg7");
    EXPECT_EQ(ScsiIn(h, {0x12, 0, 0, 0, 36, 0}, 36, 6).status, STATUS_NO_SUCH_DEVICE);  // nothing there
    NtClose(h);
    EXPECT_EQ(fake->open_fds, 0);
}

// What a service tells its user when it lacks the rights for a drive: a
// node it cannot open, a command the kernel refuses; once per node, and
// never for other failures.
TEST_F(LinuxBackendTest, RefusalsForLackOfRightsAreToldOncePerNode) {
    std::vector<plat::device::AccessRefusal> told;
    plat::device::ReportAccessRefusals([&](const plat::device::AccessRefusal& r) { told.push_back(r); });
    fake->open_errors["/dev/sdb"] = EACCES;
    for (int i = 0; i < 2; ++i) {
        NTSTATUS status = 0;
        EXPECT_EQ(Open("\\Device\\Harddisk1\\DR1", &status), nullptr);
        EXPECT_EQ(status, STATUS_ACCESS_DENIED);
    }
    fake->answers = {CallFails(EPERM), CallFails(EPERM), CallFails(EIO)};
    HANDLE sda = Open("\\Device\\Harddisk0\\DR0");
    EXPECT_EQ(ReadData(sda).status, STATUS_ACCESS_DENIED);
    EXPECT_EQ(ReadData(sda).status, STATUS_ACCESS_DENIED);
    NtClose(sda);
    fake->files["/sys/block/sdc/device/vendor"] = "ATA     \n";
    HANDLE sdc = Open("\\Device\\Harddisk2\\DR2");
    EXPECT_EQ(ReadData(sdc).status, STATUS_IO_DEVICE_ERROR) << "a failing drive is no refusal";
    NtClose(sdc);
    plat::device::ReportAccessRefusals(nullptr);

    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].node, "/dev/sdb");
    EXPECT_FALSE(told[0].opened);
    EXPECT_EQ(told[0].error, EACCES);
    EXPECT_EQ(told[1].node, "/dev/sda");
    EXPECT_TRUE(told[1].opened);
    EXPECT_EQ(told[1].error, EPERM);
}

}  // namespace
