// Starting and stopping sentrak, and CSmartHandler's view of it.
#include <fstream>
#include <sstream>

#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>

#include "SentrakProcess.h"
#include "SmartHandler.h"
#include "base/hresult.h"
#include "base/text.h"
#include "registry/registry.h"
#include "service/systemd_unit.h"
#include "sockets/PacketFormat.h"
#include "sockets/RegistrationRecord.h"

namespace {

TEST(SentrakLifecycle, StopsWithTwoClientsConnectedAndTheirRequestsThenFail) {
    sentraktest::SentrakProcess service;
    ASSERT_TRUE(service.Start());
    CSmartHandler first(nullptr, service.Port());
    CSmartHandler second(nullptr, service.Port());
    first.Initialize();
    second.Initialize();
    ASSERT_GT(first.GetDeviceCount(), 0);
    ASSERT_GT(second.GetDeviceCount(), 0);

    EXPECT_EQ(service.Stop(), 0);
    SmartDevice* drive = first.GetDevice(0);
    const SmartDevice before = first.CopyRecord(*drive);
    EXPECT_FALSE(first.ReadAttributes(drive));
    EXPECT_EQ(first.CopyRecord(*drive).serverId, before.serverId);
    EXPECT_EQ(second.RefreshSmartStatus(), 0);
}

// Reads the stored history value of one drive from the service's machine
// store; an empty vector when it is missing.
std::vector<BYTE> StoredHistory(const std::filesystem::path& root, const char16_t* name) {
    setenv("LUMETRA_ROOT", root.c_str(), 1);
    std::vector<BYTE> data(2048);
    HKEY key = nullptr;
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1\\Smart", 0, KEY_READ, &key) !=
            ERROR_SUCCESS ||
        RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS || type != REG_BINARY)
        size = 0;
    if (key) RegCloseKey(key);
    unsetenv("LUMETRA_ROOT");
    data.resize(size);
    return data;
}

// The product's key is the installer's to create; the history lives below it.
bool CreateProductKey(const std::filesystem::path& root) {
    setenv("LUMETRA_ROOT", root.c_str(), 1);
    HKEY product = nullptr;
    const bool created = RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1", 0, nullptr, 0,
                                         KEY_ALL_ACCESS, nullptr, &product, nullptr) == ERROR_SUCCESS;
    if (product) RegCloseKey(product);
    unsetenv("LUMETRA_ROOT");
    return created;
}

// A peer that registers with the service and then neither reads nor
// closes: a plain socket, closed only when the object goes.
class SilentPeer {
public:
    explicit SilentPeer(WORD port) : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in service{};
        service.sin_family = AF_INET;
        service.sin_port = htons(port);
        service.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(m_fd, reinterpret_cast<sockaddr*>(&service), sizeof service) != 0) return;
        std::vector<BYTE> request(kLongHeaderSize);
        PacketHeader{RegistrationRecord::kSize, PACKET_SYS | PACKET_REQUEST | PACKET_REGISTER, 1, 1, 1, 1}.Encode(
            request.data());
        const RegistrationRecord record = RegistrationRecord::Make(nullptr, 0);
        request.insert(request.end(), record.Bytes(), record.Bytes() + RegistrationRecord::kSize);
        if (send(m_fd, request.data(), request.size(), 0) != static_cast<ssize_t>(request.size())) return;
        std::vector<BYTE> answer(kLongHeaderSize + RegistrationRecord::kSize);
        m_registered = recv(m_fd, answer.data(), answer.size(), MSG_WAITALL) == static_cast<ssize_t>(answer.size());
    }
    ~SilentPeer() { close(m_fd); }
    SilentPeer(const SilentPeer&) = delete;
    SilentPeer& operator=(const SilentPeer&) = delete;
    bool Registered() const { return m_registered; }

private:
    int m_fd;
    bool m_registered = false;
};

TEST(SentrakLifecycle, AStopWithAHundredPeersThatNeverCloseFitsTheUnitsStopTimeAndSavesTheHistory) {
    sentraktest::SentrakProcess service;
    ASSERT_TRUE(CreateProductKey(service.Root()));
    ASSERT_TRUE(service.Start());
    {
        CSmartHandler handler(nullptr, service.Port());
        handler.Initialize();
        ASSERT_GT(handler.GetDeviceCount(), 0);
    }
    std::vector<std::unique_ptr<SilentPeer>> peers;
    for (int i = 0; i < 100; ++i) {
        peers.push_back(std::make_unique<SilentPeer>(service.Port()));
        ASSERT_TRUE(peers.back()->Registered()) << "peer " << i;
    }
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(service.Stop(), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    // The bound is the unit's, far above the stop's own 2 s: peers that are
    // waited for one after another take 100 s.
    EXPECT_LT(took, std::chrono::seconds(plat::service::detail::kStopTimeoutSeconds));
    EXPECT_EQ(StoredHistory(service.Root(), u"7.0").size(), 1320u) << "the history is saved after the peers went";
}

TEST(SentrakLifecycle, HistoryIsWrittenAtStopAndKeptAcrossARestart) {
    sentraktest::SentrakProcess service;
    ASSERT_TRUE(CreateProductKey(service.Root()));

    ASSERT_TRUE(service.Start());
    DWORD hours = 0;
    {
        CSmartHandler handler(nullptr, service.Port());
        handler.Initialize();
        SmartDevice* first = handler.GetDevice(0);
        ASSERT_NE(first, nullptr);
        ASSERT_TRUE(handler.ReadAttributes(first));
        hours = handler.CopyRecord(*first).counters.powerOnHours;
    }
    EXPECT_TRUE(StoredHistory(service.Root(), u"7.0").empty()) << "nothing is stored while the service runs";
    ASSERT_EQ(service.Stop(), 0);
    EXPECT_EQ(StoredHistory(service.Root(), u"7.0").size(), 1320u) << "the first disk's node, saved at stop";
    EXPECT_EQ(StoredHistory(service.Root(), u"7.1").size(), 1320u);

    ASSERT_TRUE(service.Start());
    CSmartHandler again(nullptr, service.Port());
    again.Initialize();
    SmartDevice* first = again.GetDevice(0);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(again.ReadAttributes(first));
    EXPECT_EQ(again.CopyRecord(*first).counters.powerOnHours, hours);
    EXPECT_EQ(service.Stop(), 0);
}

TEST(SentrakLifecycle, ASelfTestIsStartedFollowedAndAbortedThroughTheService) {
    sentraktest::SentrakProcess service;
    ASSERT_TRUE(service.Start());
    CSmartHandler client(nullptr, service.Port());
    client.Initialize();
    SmartDevice* disk = client.GetDevice(0);
    ASSERT_NE(disk, nullptr);
    ASSERT_TRUE(client.ExecuteSelfTest(disk, SMART_TEST_SHORT));
    DWORD remaining = 0;
    BYTE status = 0;
    ASSERT_TRUE(client.ReadSelfTestData(disk, &remaining, &status));
    EXPECT_EQ(SelfTestStatusCode(status), SMART_TEST_STATUS_RUNNING);
    EXPECT_GT(remaining, 0u);
    EXPECT_FALSE(client.ReadAttributes(disk)) << "a drive under test refuses other operations";
    ASSERT_TRUE(client.AbortSelfTest(disk));
    EXPECT_TRUE(client.ReadAttributes(disk)) << "the drive is free again after the abort";
    EXPECT_EQ(service.Stop(), 0);
}

TEST(SentrakLifecycle, WithoutTheServiceInitializeFindsNoDrive) {
    sentraktest::SentrakProcess unstarted;  // owns a free port nobody listens on
    CSmartHandler handler(nullptr, unstarted.Port());
    EXPECT_EQ(handler.Initialize(), 0);
    EXPECT_FALSE(handler.IsConnected());
    EXPECT_EQ(handler.GetDeviceCount(), 0);
    EXPECT_EQ(handler.GetDevice(0), nullptr);
    EXPECT_EQ(handler.RefreshSmartStatus(), 0);
    SmartDevice record;
    EXPECT_FALSE(handler.ReadStatus(&record));
}

TEST(SentrakLifecycle, InitializePreparesTheSupportedDrivesAndReportsEveryDrive) {
    sentraktest::SentrakProcess service;
    ASSERT_TRUE(service.Start());
    const std::filesystem::path logPath = service.Root() / "client.log";
    CLog log;
    ASSERT_EQ(log.Init(u"TEST", FALSE, 4, FALSE), S_OK);
    log.SetFlush(TRUE);
    log.OpenFile(plat::Utf8ToUtf16(logPath.string()).c_str(), CLog::kTextOutput, FALSE, 0);
    {
        CSmartHandler handler(&log, service.Port());
        handler.Initialize();
        int listed = 0;
        int supported = 0;
        for (const SmartDevice* d = handler.DeviceList(); d; d = d->next) {
            ++listed;
            supported += (d->flags & SMART_FLAG_SUPPORTED) ? 1 : 0;
        }
        EXPECT_GT(listed, supported);  // the demo's DVD writer and tape drive
        ASSERT_EQ(handler.GetDeviceCount(), supported);
        for (int i = 0; i < supported; ++i) {
            const SmartDevice* d = handler.GetDevice(i);
            EXPECT_TRUE(d->flags & SMART_FLAG_ENABLED);
            EXPECT_TRUE(d->flags & SMART_FLAG_CAPS_READ);
        }
        EXPECT_EQ(handler.GetDevice(supported), nullptr);
        EXPECT_EQ(handler.RefreshSmartStatus(), 1);
        EXPECT_EQ(handler.CopyRecord(*handler.GetDevice(0)).health, 1);
    }
    log.Close();
    std::ifstream in(logPath);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("Dev: KORVANE KV7200-500G"), std::string::npos);
    EXPECT_NE(text.str().find("SmartStatus: "), std::string::npos);
    EXPECT_NE(text.str().find("CollectTime: "), std::string::npos);
}

}  // namespace
