// The dispatcher's handlers over an engine whose operations the test scripts:
// the table, the statuses 4 and 5, the log block and an enumeration while a
// self-test runs.
#include <gtest/gtest.h>

#include <vector>

#include "SmartMarshalingServer.h"

namespace {

class ScriptedServer : public CSmartMarshalingServer {
public:
    SmartDevice* GetDevices() override {
        if (refuseEnumeration) return nullptr;
        SmartDevice* head = nullptr;
        for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
            auto* d = new SmartDevice;
            d->serverId = *id;
            d->deviceNumber = static_cast<DWORD>(*id);
            d->engineLink = this;
            d->next = head;
            head = d;
        }
        return head;
    }
    bool EnableSmart(SmartDevice* d) override {
        d->flags |= SMART_FLAG_ENABLED;
        return enableSucceeds;
    }
    bool ReadLog(SmartDevice*, DWORD selector, BYTE** block) override {
        *block = new BYTE[kSmartLogBlockSize]();
        (*block)[0] = static_cast<BYTE>(selector + 0x40);
        return true;
    }
    bool ReadSelfTestData(SmartDevice*, DWORD* remaining, BYTE* status) override {
        *remaining = 60;
        *status = testRunning ? 0x5F : 0;
        return true;
    }

    std::vector<SmartServerId> ids{11, 12};
    bool refuseEnumeration = false;
    bool enableSucceeds = true;
    bool testRunning = false;
};

struct Reply {
    DWORD code = 0;
    DWORD status = 0;
    CZmArchive archive;
};

class Dispatcher : public ::testing::Test {
protected:
    void Dispatch(const CSmartMarshalMessage& request, CSmartMarshalMessage& response, DWORD expectedStatus) {
        CZmArchive in;
        CZmArchive out;
        request.EncodeMessage(in);
        server.Dispatch(in, out);
        ASSERT_TRUE(response.DecodeMessage(out));
        EXPECT_EQ(response.Code(), request.Code() + 1);
        EXPECT_EQ(response.Status(), expectedStatus);
    }
    std::vector<SmartServerId> Enumerate(DWORD expectedStatus) {
        CSmartMarshalSmartDeviceList list;
        Dispatch(CSmartMarshalVoid(QUIVR_SMART_GET_DEVICES), list, expectedStatus);
        std::vector<SmartServerId> ids;
        for (const SmartDevice& d : list.devices) {
            EXPECT_EQ(d.engineLink, nullptr);
            ids.push_back(d.serverId);
        }
        return ids;
    }
    CSmartMarshalSmartDevice Enable(SmartServerId id, DWORD expectedStatus) {
        CSmartMarshalSmartServerId request(QUIVR_SMART_ENABLE);
        request.serverId = id;
        CSmartMarshalSmartDevice response;
        Dispatch(request, response, expectedStatus);
        return response;
    }

    ScriptedServer server;
};

TEST_F(Dispatcher, EachEnumerationReplacesTheTable) {
    EXPECT_EQ(Enumerate(SMART_STATUS_OK), (std::vector<SmartServerId>{11, 12}));
    server.ids = {21};
    EXPECT_EQ(Enumerate(SMART_STATUS_OK), (std::vector<SmartServerId>{21}));
    EXPECT_EQ(server.TableSize(), 1u);
    const CSmartMarshalSmartDevice stale = Enable(11, SMART_STATUS_UNKNOWN_DEVICE);
    EXPECT_EQ(stale.device.serverId, 0u);
    EXPECT_EQ(stale.device.flags, 0u);
    server.ids = {};
    EXPECT_TRUE(Enumerate(SMART_STATUS_OK).empty());
    EXPECT_EQ(server.TableSize(), 0u);
}

TEST_F(Dispatcher, AnOperationAnswersTheUpdatedRecordWithItsResult) {
    Enumerate(SMART_STATUS_OK);
    EXPECT_TRUE(Enable(12, SMART_STATUS_OK).device.flags & SMART_FLAG_ENABLED);
    server.enableSucceeds = false;
    const CSmartMarshalSmartDevice failed = Enable(11, SMART_STATUS_OPERATION_FAILED);
    EXPECT_EQ(failed.device.serverId, 11u);
    EXPECT_EQ(failed.device.deviceNumber, 11u);
}

TEST_F(Dispatcher, LogAndSelfTestDataCarryWhatTheEngineGave) {
    Enumerate(SMART_STATUS_OK);
    CSmartMarshalReadLogRequest log(QUIVR_SMART_READ_LOG);
    log.serverId = 12;
    log.selector = SMART_LOG_SELFTEST;
    CSmartMarshalReadLogResponse data;
    Dispatch(log, data, SMART_STATUS_OK);
    EXPECT_EQ(data.data[0], 0x41);

    server.testRunning = true;
    CSmartMarshalSmartServerId query(QUIVR_SMART_READ_SELF_TEST_DATA);
    query.serverId = 11;
    CSmartMarshalTestResult result;
    Dispatch(query, result, SMART_STATUS_OK);
    EXPECT_EQ(result.remainingSeconds, 60u);
    EXPECT_EQ(result.selfTestStatus, 0x5F);
    EXPECT_EQ(result.device.serverId, 11u);
}

TEST_F(Dispatcher, AnEnumerationRefusedDuringASelfTestKeepsTheTable) {
    Enumerate(SMART_STATUS_OK);
    server.refuseEnumeration = true;
    server.testRunning = true;
    EXPECT_EQ(Enumerate(SMART_STATUS_OPERATION_FAILED), (std::vector<SmartServerId>{11, 12}));
    Enable(11, SMART_STATUS_OK);

    server.testRunning = false;  // refused without a running test: no drives
    EXPECT_TRUE(Enumerate(SMART_STATUS_OK).empty());
    Enable(11, SMART_STATUS_UNKNOWN_DEVICE);
}

TEST_F(Dispatcher, AnswersAreReadyToSendFromTheirStart) {
    CZmArchive request;
    CZmArchive response;
    request.Put32(QUIVR_SMART_GET_DEVICES).Put32(0);
    EXPECT_TRUE(server.Dispatch(request, response));
    EXPECT_EQ(response.GetLength(FALSE), response.GetLength(TRUE));
    CZmArchive odd;
    odd.Put32(7).Put32(0);
    EXPECT_FALSE(server.Dispatch(odd, response));
    EXPECT_EQ(response.GetLength(TRUE), 8u);
    EXPECT_EQ(response.GetLength(FALSE), 8u);
}

}  // namespace
