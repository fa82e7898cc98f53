#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "marshal/SmartDeviceWire.h"
#include "marshal/SmartMarshalMessages.h"

namespace {

SmartDevice SampleDevice() {
    SmartDevice d;
    d.serverId = 0x1122334455667788ull;
    d.deviceType = 7;
    d.deviceNumber = 3;
    d.model[0] = u'M';
    d.model[39] = u'z';
    d.serial[0] = u'S';
    d.flags = 0x00ABCDEF;
    d.collectTime = 0x0102;
    d.extendedTestTime = 0x0304;
    d.port = 1;
    d.lun = 4;
    d.ataLevel = 8;
    d.counters.powerOnHours = 1234;
    d.counters.temperature = 41;
    d.health = 1;
    d.attributes[0].id = 194;
    d.attributes[0].raw[0] = 41;
    d.attributes[29].id = 5;
    d.attributes[29].threshold = 36;
    return d;
}

std::vector<BYTE> Bytes(CZmArchive& a) {
    const BYTE* p = a.GetBuffer(TRUE);
    return std::vector<BYTE>(p, p + a.GetLength(TRUE));
}

TEST(SmartMarshalMessages, DeviceRecordHasItsWireLayoutAndRoundTripsWithoutLinks) {
    SmartDevice d = SampleDevice();
    SmartDevice other;
    d.next = &other;
    d.engineLink = &other;
    CZmArchive a;
    ASSERT_TRUE(PutSmartDevice(a, d));
    const std::vector<BYTE> wire = Bytes(a);
    ASSERT_EQ(wire.size(), kSmartDeviceWireSize);
    EXPECT_EQ(wire[0], 0x88);
    EXPECT_EQ(wire[7], 0x11);
    EXPECT_EQ(wire[8], 7);
    EXPECT_EQ(wire[16], u'M');
    EXPECT_EQ(wire[116], u'S');
    EXPECT_EQ(wire[158], 0xEF);
    EXPECT_EQ(wire[162], 0x02);
    EXPECT_EQ(wire[166], 0x04);
    EXPECT_EQ(wire[170], 1);
    EXPECT_EQ(wire[173], 4);
    EXPECT_EQ(wire[174], 8);
    EXPECT_EQ(wire[263], 1);
    EXPECT_EQ(wire[264 + 62], 194);  // id after the 60-byte name and the flags

    a.Seek(0, 0);
    SmartDevice back;
    back.next = &other;
    ASSERT_TRUE(GetSmartDevice(a, back));
    EXPECT_EQ(back.next, nullptr);
    EXPECT_EQ(back.engineLink, nullptr);
    EXPECT_EQ(back.serverId, d.serverId);
    EXPECT_EQ(back.model[39], u'z');
    EXPECT_EQ(back.counters.powerOnHours, 1234u);
    EXPECT_EQ(back.attributes[29].threshold, 36);
    EXPECT_EQ(back.flags, d.flags);
}

TEST(SmartMarshalMessages, HeaderPrecedesThePayloadAndDecodesBack) {
    CSmartMarshalReadLogRequest request(20);
    request.serverId = 9;
    request.selector = 1;
    CZmArchive a;
    ASSERT_TRUE(request.EncodeMessage(a));
    EXPECT_EQ(Bytes(a), (std::vector<BYTE>{20, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}));
    a.Seek(0, 0);
    CSmartMarshalReadLogRequest back;
    ASSERT_TRUE(back.DecodeMessage(a));
    EXPECT_EQ(back.Code(), 20u);
    EXPECT_EQ(back.serverId, 9u);
    EXPECT_EQ(back.selector, 1u);
}

// Decode of each class against payloads of the right and of wrong sizes.
TEST(SmartMarshalMessages, DecodeAcceptsExactlyItsPayload) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<CSmartMarshalMessage>()> make;
        DWORD size;
        bool exact;  // a longer payload is refused too
    };
    const Case cases[] = {
        {"void", [] { return std::make_unique<CSmartMarshalVoid>(); }, 0, true},
        {"server id", [] { return std::make_unique<CSmartMarshalSmartServerId>(); }, 8, true},
        {"log request", [] { return std::make_unique<CSmartMarshalReadLogRequest>(); }, 12, true},
        {"self-test request", [] { return std::make_unique<CSmartMarshalSelfTestRequest>(); }, 12, true},
        {"log response", [] { return std::make_unique<CSmartMarshalReadLogResponse>(); }, 1024, true},
        {"device", [] { return std::make_unique<CSmartMarshalSmartDevice>(); }, kSmartDeviceWireSize, false},
        {"test result", [] { return std::make_unique<CSmartMarshalTestResult>(); }, kSmartDeviceWireSize + 5, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<BYTE> payload(c.size + 1, 0);
        CZmArchive exact(payload.data(), c.size);
        EXPECT_TRUE(c.make()->Decode(exact));
        CZmArchive longer(payload.data(), c.size + 1);
        EXPECT_EQ(c.make()->Decode(longer), !c.exact);
        if (c.size == 0) continue;
        CZmArchive shorter(payload.data(), c.size - 1);
        EXPECT_FALSE(c.make()->Decode(shorter));
    }
}

TEST(SmartMarshalMessages, DeviceListKeepsOrderAndRefusesACountBeyondItsRecords) {
    CSmartMarshalSmartDeviceList list(1);
    list.devices = {SampleDevice(), SmartDevice{}};
    list.devices[1].serverId = 2;
    CZmArchive a;
    ASSERT_TRUE(list.EncodeMessage(a));
    EXPECT_EQ(a.GetLength(TRUE), 8 + 4 + 2 * kSmartDeviceWireSize);
    a.Seek(0, 0);
    CSmartMarshalSmartDeviceList back;
    ASSERT_TRUE(back.DecodeMessage(a));
    ASSERT_EQ(back.devices.size(), 2u);
    EXPECT_EQ(back.devices[0].serverId, SampleDevice().serverId);
    EXPECT_EQ(back.devices[1].serverId, 2u);

    CZmArchive huge;
    huge.Put32(0xFFFFFFFF);
    huge.Seek(0, 0);
    CSmartMarshalSmartDeviceList refused;
    EXPECT_FALSE(refused.Decode(huge));
    EXPECT_TRUE(refused.devices.empty());
}

TEST(SmartMarshalMessages, HeaderNeedsEightBytes) {
    const BYTE seven[7] = {2, 0, 0, 0, 0, 0, 0};
    CZmArchive a(seven, sizeof seven);
    DWORD code = 99;
    DWORD status = 99;
    EXPECT_FALSE(CSmartMarshalMessage::ReadHeader(a, code, status));
    EXPECT_EQ(code, 99u);
    CSmartMarshalVoid v;
    EXPECT_FALSE(v.DecodeMessage(a));
}

}  // namespace
