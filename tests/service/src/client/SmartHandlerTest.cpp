// CSmartHandler against a service of the test's own: how often it lists the
// drives while one is gone, and what it does when the service stops
// answering without closing. The process clock is manual, so every pause
// and time-out ends because the test moved the clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <mutex>
#include <vector>

#include "LinkEvents.h"
#include "SmartHandler.h"
#include "base/clock.h"
#include "marshal/SmartMarshalMessages.h"
#include "marshal/SmartRequestCodes.h"
#include "net/loopback_port.h"
#include "sockets/SocketServer.h"

namespace {

SmartDevice Drive(SmartServerId id, DWORD number, const char16_t* serial) {
    SmartDevice d;
    d.serverId = id;
    d.deviceType = 7;
    d.deviceNumber = number;
    for (std::size_t i = 0; serial[i] && i + 1 < kSerialChars; ++i) d.serial[i] = serial[i];
    d.flags = SMART_FLAG_SUPPORTED | SMART_FLAG_ENABLED | SMART_FLAG_CAPS_READ;
    d.health = 1;
    return d;
}

// Lists its drives and answers a request about one of them with its record,
// about any other id with status 4 (unknown device). While silent it
// answers nothing and keeps the connection open, as a hung service does.
class ScriptedService : public CSocketServer {
public:
    explicit ScriptedService(WORD port) : CSocketServer(port) {
        SetDispatcher([this](CZmArchive& request, CZmArchive& response) { Answer(request, response); });
    }
    void OnMsg(CEncryptSocket* socket, BYTE* payload, DWORD length, ReplyContext* context, DWORD flags) override {
        if (silent) {
            std::free(payload);
            return;
        }
        CSocketServer::OnMsg(socket, payload, length, context, flags);
    }
    void SetDrives(std::vector<SmartDevice> drives) {
        std::lock_guard lock(m_mutex);
        m_drives = std::move(drives);
    }
    int Listings() const { return m_listings.load(); }

    std::atomic<bool> silent{false};

private:
    void Answer(CZmArchive& request, CZmArchive& response) {
        DWORD code = 0;
        DWORD status = 0;
        CSmartMarshalMessage::ReadHeader(request, code, status);
        std::lock_guard lock(m_mutex);
        if (code == QUIVR_SMART_GET_DEVICES) {
            ++m_listings;
            CSmartMarshalSmartDeviceList list(SmartResponseCode(code));
            list.devices = m_drives;
            list.EncodeMessage(response);
            return;
        }
        request.Seek(0, 0);
        CSmartMarshalSmartServerId asked(code);
        asked.DecodeMessage(request);
        CSmartMarshalSmartDevice answer(SmartResponseCode(code), SMART_STATUS_UNKNOWN_DEVICE);
        for (const SmartDevice& d : m_drives) {
            if (d.serverId != asked.serverId) continue;
            answer.SetStatus(SMART_STATUS_OK);
            answer.device = d;
        }
        answer.EncodeMessage(response);
    }

    std::mutex m_mutex;
    std::vector<SmartDevice> m_drives;
    std::atomic<int> m_listings{0};
};

// A client that started with two disks listed by the scripted service.
class HandlerWithScriptedService : public ::testing::Test {
protected:
    void SetUp() override {
        service.SetDrives({Drive(1, 0, u"S1"), Drive(2, 1, u"S2")});
        ASSERT_EQ(service.Init(), S_OK);
        ASSERT_EQ(service.Start(), S_OK);
        handler.SetLinkCallback(link.Callback());
        handler.Initialize();
        ASSERT_EQ(handler.GetDeviceCount(), 2);
    }
    void TearDown() override { service.Stop(); }

    plat::ScopedManualClock clock;  // before the threads that read it
    WORD port = plat::net::FreeLoopbackPort();
    ScriptedService service{port};
    LinkEvents link;
    CSmartHandler handler{nullptr, port};
};

TEST_F(HandlerWithScriptedService, ADriveGoneForGoodIsListedForAfterGrowingPausesOnly) {
    const int initial = service.Listings();
    EXPECT_EQ(handler.RefreshSmartStatus(), 1);
    EXPECT_EQ(service.Listings(), initial) << "no listing while every drive is there";

    // The second disk is taken out: the poll that finds it gone marks it,
    // the next one lists the drives at once.
    service.SetDrives({Drive(1, 0, u"S1")});
    handler.RefreshSmartStatus();
    ASSERT_TRUE(handler.IsGone(*handler.GetDevice(1)));
    EXPECT_EQ(handler.RefreshSmartStatus(), 1) << "the drive still there is read";
    int listings = initial + 1;
    EXPECT_EQ(service.Listings(), listings);

    // Then only once each pause has passed, however often the window polls.
    for (const DWORD pause : {1000u, 2000u, 4000u, 8000u, 16000u, 32000u, 60000u, 60000u}) {
        SCOPED_TRACE(pause);
        handler.RefreshSmartStatus();
        clock->Advance(pause - 1);
        handler.RefreshSmartStatus();
        EXPECT_EQ(service.Listings(), listings) << "within the pause";
        clock->Advance(1);
        handler.RefreshSmartStatus();
        handler.RefreshSmartStatus();
        EXPECT_EQ(service.Listings(), ++listings) << "once it has passed";
    }

    // Back in its bay, the disk is found at the next listing; the pauses
    // start over the next time a drive goes.
    service.SetDrives({Drive(1, 0, u"S1"), Drive(2, 1, u"S2")});
    clock->Advance(CSmartHandler::kMaxRetryMs);
    handler.RefreshSmartStatus();
    EXPECT_FALSE(handler.IsGone(*handler.GetDevice(1)));
    service.SetDrives({Drive(1, 0, u"S1")});
    handler.RefreshSmartStatus();
    const int before = service.Listings();
    handler.RefreshSmartStatus();
    EXPECT_EQ(service.Listings(), before + 1);
}

TEST_F(HandlerWithScriptedService, AServiceThatStopsAnsweringFailsTheRequestAtItsTimeOutAndIsConnectedAgain) {
    SmartDevice* first = handler.GetDevice(0);
    service.silent = true;
    const std::uint64_t asked = clock->TickMs();
    auto request = std::async(std::launch::async, [&] {
        const bool answered = handler.ReadAttributes(first);
        return std::make_pair(answered, clock->TickMs());
    });
    // The test's clock moves on until the request gives up (bounded in real
    // time, so a wait without a time-out fails here instead of hanging).
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (request.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready &&
           std::chrono::steady_clock::now() < bound)
        clock->Advance(1000);
    const bool gaveUp = request.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    if (!gaveUp) service.Stop();  // the close releases the request: the test fails instead of hanging
    ASSERT_TRUE(gaveUp) << "the request waits for ever";
    const auto [answered, ended] = request.get();
    EXPECT_FALSE(answered);
    EXPECT_GE(ended - asked, CSmartHandler::kAnswerTimeoutMs) << "given up only at its time-out";
    EXPECT_EQ(handler.CopyRecord(*first).health, 1) << "the record keeps its values";

    // The connection counts as broken; the link connects again once the
    // service answers.
    ASSERT_TRUE(link.WaitFor(1, *clock));
    EXPECT_FALSE(handler.IsConnected());
    service.silent = false;
    ASSERT_TRUE(link.WaitFor(2, *clock));
    EXPECT_EQ(link.States(), (std::vector<bool>{false, true}));
    EXPECT_TRUE(handler.ReadAttributes(first));
}

}  // namespace
