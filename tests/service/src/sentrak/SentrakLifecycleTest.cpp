// Starting and stopping sentrak, and CSmartHandler's view of it.
#include <fstream>
#include <sstream>

#include "SentrakProcess.h"
#include "SmartHandler.h"
#include "base/hresult.h"
#include "base/text.h"

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
