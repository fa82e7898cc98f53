// The client's records: what an answer about an unknown id does to them,
// and how a new listing is matched to the records already held.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "SmartMarshalingClient.h"
#include "marshal/SmartRequestCodes.h"

namespace {

// Answers every request with the message the test put up, coded as the
// answer to that request.
class ScriptedClient : public CSmartMarshalingClient {
public:
    bool SendRequest(CZmArchive& request, CZmArchive& response) override {
        DWORD code = 0;
        DWORD status = 0;
        request.Seek(0, 0);
        CSmartMarshalMessage::ReadHeader(request, code, status);
        if (!answer) return false;
        answer->SetCode(SmartResponseCode(code));
        answer->EncodeMessage(response);
        return true;
    }
    std::unique_ptr<CSmartMarshalMessage> answer;
};

SmartDevice Drive(SmartServerId id, DWORD type, DWORD number, const char16_t* serial) {
    SmartDevice d;
    d.serverId = id;
    d.deviceType = type;
    d.deviceNumber = number;
    for (std::size_t i = 0; serial[i] && i + 1 < kSerialChars; ++i) d.serial[i] = serial[i];
    d.model[0] = u'M';
    d.flags = SMART_FLAG_SUPPORTED | SMART_FLAG_ENABLED;
    d.health = 1;
    d.counters.temperature = 41;
    return d;
}

TEST(ClientRecords, AnUnknownIdMarksTheRecordGoneAndKeepsItsValues) {
    ScriptedClient client;
    SmartDevice record = Drive(7, 7, 0, u"S1");
    SmartDevice neighbour;
    record.next = &neighbour;

    // The service's zero record would read as a failing drive.
    client.answer = std::make_unique<CSmartMarshalSmartDevice>(0, SMART_STATUS_UNKNOWN_DEVICE);
    EXPECT_FALSE(client.ReadAttributes(&record));
    EXPECT_TRUE(client.IsGone(record));
    EXPECT_EQ(record.health, 1);
    EXPECT_EQ(record.counters.temperature, 41);
    EXPECT_EQ(record.serverId, 7u);
    EXPECT_EQ(record.flags, DWORD(SMART_FLAG_ENABLED)) << "only the supported flag goes";
    EXPECT_EQ(record.next, &neighbour);

    auto test = std::make_unique<CSmartMarshalTestResult>(0, SMART_STATUS_UNKNOWN_DEVICE);
    client.answer = std::move(test);
    DWORD remaining = 99;
    BYTE status = 0x5F;
    EXPECT_FALSE(client.ReadSelfTestData(&record, &remaining, &status));
    EXPECT_EQ(remaining, 99u) << "no result is made up for a drive that is gone";
    EXPECT_EQ(status, 0x5F);

    // Any other answer about the record is taken as it comes.
    auto found = std::make_unique<CSmartMarshalSmartDevice>(0, SMART_STATUS_OPERATION_FAILED);
    found->device = Drive(7, 7, 0, u"S1");
    found->device.health = 0;
    client.answer = std::move(found);
    EXPECT_FALSE(client.ReadAttributes(&record));
    EXPECT_FALSE(client.IsGone(record));
    EXPECT_EQ(record.health, 0);
    EXPECT_TRUE(record.flags & SMART_FLAG_SUPPORTED);
    EXPECT_EQ(record.next, &neighbour);
}

TEST(ClientRecords, ANewListingIsMatchedByTypeNumberAndSerialInPlace) {
    ScriptedClient client;
    // Held: two disks and a DVD writer without a serial, linked as a list.
    std::vector<SmartDevice> held = {Drive(1, 7, 0, u"S1"), Drive(2, 7, 1, u"S2"), Drive(3, 2, 0, u"")};
    for (std::size_t i = 0; i + 1 < held.size(); ++i) held[i].next = &held[i + 1];
    int links[3] = {};
    for (std::size_t i = 0; i < held.size(); ++i) held[i].engineLink = &links[i];

    // Listed after a restart: new ids; disk 0 is another drive now (a new
    // serial), disk 1 and the DVD writer are the same, and there is a new disk.
    std::vector<SmartDevice> listed = {Drive(21, 7, 0, u"OTHER"), Drive(22, 7, 1, u"S2"), Drive(23, 2, 0, u""),
                                       Drive(24, 7, 3, u"S4")};
    listed[1].counters.temperature = 35;

    EXPECT_EQ(client.MatchRecords(held.data(), listed), 2u);
    EXPECT_TRUE(client.IsGone(held[0]));
    EXPECT_EQ(held[0].serverId, 1u) << "a drive that is gone keeps its last values";
    EXPECT_EQ(held[0].counters.temperature, 41);
    EXPECT_FALSE(held[0].flags & SMART_FLAG_SUPPORTED);

    EXPECT_FALSE(client.IsGone(held[1]));
    EXPECT_EQ(held[1].serverId, 22u);
    EXPECT_EQ(held[1].counters.temperature, 35);
    EXPECT_EQ(held[1].next, &held[2]) << "links stay";
    EXPECT_EQ(held[1].engineLink, &links[1]);
    EXPECT_EQ(held[2].serverId, 23u);
    EXPECT_EQ(held[2].next, nullptr);

    // The first disk comes back: its record is current again.
    listed[0] = Drive(31, 7, 0, u"S1");
    EXPECT_EQ(client.MatchRecords(held.data(), listed), 3u);
    EXPECT_FALSE(client.IsGone(held[0]));
    EXPECT_EQ(held[0].serverId, 31u);
    EXPECT_TRUE(held[0].flags & SMART_FLAG_SUPPORTED);
    EXPECT_EQ(held[0].next, &held[1]);
}

}  // namespace
