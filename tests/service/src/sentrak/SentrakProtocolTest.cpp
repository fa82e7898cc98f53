// The request protocol against a running sentrak: one program serves every
// test of this file; each test makes its own connection.
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "SentrakProcess.h"
#include "SmartHandler.h"
#include "marshal/SmartMarshalMessages.h"
#include "marshal/SmartRequestCodes.h"
#include "net/winsock.h"

namespace {

struct Answer {
    DWORD code = 0;
    DWORD status = 0;
    DWORD payload = 0;  // bytes after the header
    std::vector<BYTE> bytes;
};

class SentrakProtocol : public sentraktest::SharedSentrak {
protected:
    void SetUp() override {
        m_client = std::make_unique<CSmartHandler>(nullptr, Service()->Port());
        m_client->Initialize();
        ASSERT_TRUE(m_client->IsConnected());
        ASSERT_NE(m_client->DeviceList(), nullptr);
    }

    Answer Send(const std::vector<BYTE>& request) {
        CZmArchive out(request.data(), static_cast<DWORD>(request.size()));
        CZmArchive in;
        EXPECT_TRUE(m_client->SendRequest(out, in));
        Answer a;
        CSmartMarshalMessage::ReadHeader(in, a.code, a.status);
        a.payload = in.GetLength(FALSE);
        a.bytes.assign(in.GetBuffer(FALSE), in.GetBuffer(FALSE) + a.payload);
        return a;
    }
    Answer Send(const CSmartMarshalMessage& request) {
        CZmArchive a;
        request.EncodeMessage(a);
        return Send(std::vector<BYTE>(a.GetBuffer(TRUE), a.GetBuffer(TRUE) + a.GetLength(TRUE)));
    }
    // The first drive of the demo machine, an ATA disk.
    SmartServerId AtaDisk() const { return m_client->DeviceList()->serverId; }

    std::unique_ptr<CSmartHandler> m_client;
};

TEST_F(SentrakProtocol, EveryRequestCodeGetsItsResponseClass) {
    struct Case {
        DWORD code;
        DWORD payload;
    };
    // Switching off before switching on, so the drive ends as it started.
    const Case cases[] = {{4, 2424},  {14, 2424}, {18, 2424}, {2, 2424},  {12, 2424}, {16, 2424}, {6, 2424},
                          {8, 2424},  {10, 2424}, {20, 1024}, {22, 2424}, {24, 2429}, {26, 2424}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        std::unique_ptr<CSmartMarshalMessage> request;
        if (c.code == QUIVR_SMART_READ_LOG) {
            auto log = std::make_unique<CSmartMarshalReadLogRequest>(c.code);
            log->serverId = AtaDisk();
            request = std::move(log);
        } else if (c.code == QUIVR_SMART_EXECUTE_SELF_TEST) {
            auto test = std::make_unique<CSmartMarshalSelfTestRequest>(c.code);
            test->serverId = AtaDisk();
            test->type = SMART_TEST_OFFLINE_COLLECT;
            request = std::move(test);
        } else {
            auto id = std::make_unique<CSmartMarshalSmartServerId>(c.code);
            id->serverId = AtaDisk();
            request = std::move(id);
        }
        const Answer a = Send(*request);
        EXPECT_EQ(a.code, c.code + 1);
        EXPECT_TRUE(a.status == SMART_STATUS_OK || a.status == SMART_STATUS_OPERATION_FAILED) << a.status;
        EXPECT_EQ(a.payload, c.payload);
    }
    CSmartMarshalSmartServerId attributes(QUIVR_SMART_READ_ATTRIBUTES);
    attributes.serverId = AtaDisk();
    EXPECT_EQ(Send(attributes).status, SMART_STATUS_OK);
}

TEST_F(SentrakProtocol, AnAtaDiskRefusesItsLogWithZeroData) {
    CSmartMarshalReadLogRequest request(QUIVR_SMART_READ_LOG);
    request.serverId = AtaDisk();
    request.selector = SMART_LOG_ERROR;
    const Answer a = Send(request);
    EXPECT_EQ(a.code, 21u);
    EXPECT_EQ(a.status, SMART_STATUS_OPERATION_FAILED);
    EXPECT_EQ(a.bytes, std::vector<BYTE>(1024, 0));
}

TEST_F(SentrakProtocol, BadRequestsGetStatusOneOrTwo) {
    struct Case {
        const char* name;
        std::vector<BYTE> request;
        DWORD code;
        DWORD status;
    };
    const Case cases[] = {
        {"odd code", {3, 0, 0, 0, 0, 0, 0, 0}, 3, SMART_STATUS_UNKNOWN_REQUEST},
        {"code above 26", {28, 0, 0, 0, 0, 0, 0, 0, 1}, 28, SMART_STATUS_UNKNOWN_REQUEST},
        {"no header", {2, 0, 0}, kSmartNoCode, SMART_STATUS_UNKNOWN_REQUEST},
        {"seven bytes", {0, 0, 0, 0, 0, 0, 0}, kSmartNoCode, SMART_STATUS_UNKNOWN_REQUEST},
        {"nine-byte id", {2, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 3, SMART_STATUS_BAD_REQUEST},
        {"log request without selector", {20, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}, 21,
         SMART_STATUS_BAD_REQUEST},
        {"self-test data without id", {24, 0, 0, 0, 0, 0, 0, 0}, 25, SMART_STATUS_BAD_REQUEST},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Answer a = Send(c.request);
        EXPECT_EQ(a.code, c.code);
        EXPECT_EQ(a.status, c.status);
        EXPECT_EQ(a.payload, 0u);
    }
}

TEST_F(SentrakProtocol, AnEnumerationIgnoresItsPayload) {
    const Answer a = Send(std::vector<BYTE>{0, 0, 0, 0, 0, 0, 0, 0, 0xDE, 0xAD});
    EXPECT_EQ(a.code, 1u);
    EXPECT_EQ(a.status, SMART_STATUS_OK);
    ASSERT_GE(a.payload, 4u);
    const DWORD count = a.bytes[0] | (a.bytes[1] << 8);
    EXPECT_GE(count, 3u);
    EXPECT_EQ(a.payload, 4 + count * 2424);
}

TEST_F(SentrakProtocol, AnotherEnumerationKeepsTheIdsOfTheDrivesStillThereAndOthersAreUnknown) {
    SmartDevice* current = m_client->GetDevices();
    ASSERT_NE(current, nullptr);
    SmartDevice* earlier = m_client->DeviceList();
    SmartDevice* const link = earlier->next;
    EXPECT_EQ(current->serverId, earlier->serverId) << "the same drive, the same id";
    EXPECT_TRUE(m_client->ReadAttributes(earlier));
    EXPECT_NE(earlier->model[0], 0);
    EXPECT_EQ(earlier->next, link);
    CSmartMarshalSmartServerId unknown(QUIVR_SMART_RETURN_STATUS);
    unknown.serverId = 0;  // never handed out
    EXPECT_EQ(Send(unknown).status, SMART_STATUS_UNKNOWN_DEVICE);
    EXPECT_TRUE(m_client->ReadAttributes(current));
    EXPECT_NE(current->model[0], 0);
    FreeSmartDeviceList(current);
}

TEST_F(SentrakProtocol, RequestsFromSeveralThreadsEachGetTheirOwnAnswer) {
    SmartDevice* drive = m_client->GetDevice(0);
    ASSERT_NE(drive, nullptr);
    const SmartServerId id = m_client->CopyRecord(*drive).serverId;
    std::atomic<int> failures{0};
    auto worker = [&](bool attributes) {
        for (int i = 0; i < 20; ++i) {
            BYTE* block = nullptr;
            const bool ok = attributes ? m_client->ReadAttributes(drive) : !m_client->ReadLog(drive, 0, &block);
            if (!ok) ++failures;
            if (m_client->CopyRecord(*drive).serverId != id) ++failures;
        }
    };
    std::thread first(worker, true);
    std::thread second(worker, false);
    first.join();
    second.join();
    EXPECT_EQ(failures, 0);
}

// Each answer is handed over on the client's Event thread while its request
// may be anywhere on its way to its wait, which has no time-out: a lost
// hand-over would leave a request waiting for ever.
TEST_F(SentrakProtocol, EveryAnswerOfALongRunWakesItsRequest) {
    constexpr int kRequests = 2000;
    SmartDevice* drive = m_client->GetDevice(0);
    ASSERT_NE(drive, nullptr);
    std::shared_ptr<CSmartHandler> client = std::move(m_client);
    auto done = std::make_shared<std::promise<int>>();
    std::future<int> answered = done->get_future();
    std::thread run([client, drive, done] {
        int ok = 0;
        for (int i = 0; i < kRequests; ++i) ok += client->ReadAttributes(drive) ? 1 : 0;
        done->set_value(ok);
    });
    const bool woken = answered.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    // A request never woken keeps its thread, and the client, to itself.
    if (woken) run.join();
    else run.detach();
    ASSERT_TRUE(woken) << "a request was never woken";
    EXPECT_EQ(answered.get(), kRequests);
}

TEST_F(SentrakProtocol, AClientSendingGarbageDoesNotDisturbAnother) {
    const SOCKET garbage = ws::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(Service()->Port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(ws::WSAConnect(garbage, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const char noise[] = "\xff\xff\xff\x7f\x01\x00\x00\x00GET / HTTP/1.0\r\n\r\n";
    for (int i = 0; i < 4; ++i) ws::send(garbage, noise, sizeof noise, 0);

    SmartDevice* drive = m_client->DeviceList();
    EXPECT_TRUE(m_client->ReadAttributes(drive));
    SmartDevice* list = m_client->GetDevices();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(m_client->ReadStatus(list));
    FreeSmartDeviceList(list);
    ws::closesocket(garbage);
}

}  // namespace
