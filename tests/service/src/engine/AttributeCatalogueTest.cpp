#include "engine/AttributeCatalogue.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace {

void PutEntry(DeviceNode& node, std::size_t index, BYTE id, std::uint64_t raw, BYTE threshold = 0) {
    BYTE* e = ata_sector::Entry(node.smartData, index);
    e[0] = id;
    e[1] = 0x33;
    e[3] = 100;
    e[4] = 99;
    for (int i = 0; i < 6; ++i) e[5 + i] = BYTE(raw >> (8 * i));
    e[11] = threshold;
}

DeviceNode AtaNode(const char16_t* model) {
    DeviceNode n;
    n.flags = NODE_ATA;
    plat::CopyToField(n.model, kModelChars, model);
    return n;
}

TEST(AttributeNames, TableAndFallback) {
    const std::pair<BYTE, std::u16string> cases[] = {
        {1, u"Read Error Rate"}, {5, u"Reallocated Sectors"}, {196, u"Reallocated Sectors"},
        {240, u"Write Head test"}, {13, u"Attrib 13"},         {0, u"Attrib 0"},
    };
    for (const auto& [id, name] : cases) EXPECT_EQ(AttributeName(id), name) << int(id);
}

TEST(PowerOnHours, VendorRulesByModelStart) {
    struct Case {
        const char16_t* model;
        std::uint64_t raw;
        DWORD hours;
    };
    const Case cases[] = {
        {u"MAXTOR 6L080J4", 600, 10},   {u"FUJITSU MHV2080AH", 7200, 2}, {u"SAMSUNG HD080HJ", 600, 10},
        {u"samsun lower case", 600, 10}, {u"WDC WD800JB", 600, 600},
        {u" MAXTOR leading blank", 600, 600},  // decided on the untrimmed text
        {u"WDC", 0x0000'0001'0000'0005ull, 5},  // only the low 32 bits count
    };
    for (const Case& c : cases) {
        DeviceNode n = AtaNode(c.model);
        PutEntry(n, 0, 9, c.raw);
        DeriveAtaCounters(n);
        EXPECT_EQ(n.counters.powerOnHours, c.hours) << plat::Utf16ToUtf8(c.model);
    }
}

TEST(AtaCounters, AttributesFeedTheirCountersAndLaterEntryWins) {
    DeviceNode n = AtaNode(u"WDC");
    n.counters.bytesRead = 77;  // no ATA source: keeps its value
    PutEntry(n, 0, 1, 0x0000'AABB'CCDD'EEFFull);
    PutEntry(n, 1, 4, 0x0000'0001'0000'0020ull);
    PutEntry(n, 2, 194, 0x0000'0037'0000'0029ull);
    PutEntry(n, 3, 198, 3);
    PutEntry(n, 4, 198, 4);
    DeriveAtaCounters(n);
    EXPECT_EQ(n.counters.readErrorsCorrected, 0xAABB'CCDD'EEFFull);
    EXPECT_EQ(n.counters.startStopCycles, 0x20u);
    EXPECT_EQ(n.counters.temperature, 0x29);
    EXPECT_EQ(n.counters.secondTemperature, 0x37);
    EXPECT_EQ(n.counters.readErrorsUncorrected, 4u);
    EXPECT_EQ(n.counters.bytesRead, 77u);
}

TEST(FillAttributes, AtaEntriesWithNamesScsiCountersOnly) {
    DeviceNode n = AtaNode(u"WDC");
    PutEntry(n, 0, 13, 0x2A, 51);
    n.counters.powerOnHours = 5;
    SmartDevice record;
    for (SmartAttribute& a : record.attributes) std::fill(std::begin(a.name), std::end(a.name), u'#');
    FillAttributes(record, n);
    const SmartAttribute& a = record.attributes[0];
    EXPECT_EQ(a.id, 13);
    EXPECT_EQ(a.worst, 99);
    EXPECT_EQ(a.raw[0], 0x2A);
    EXPECT_EQ(a.threshold, 51);
    EXPECT_EQ(a.flags, 0x0033);
    EXPECT_EQ(plat::FieldView(a.name, kSmartNameChars), u"Attrib 13");
    EXPECT_EQ(a.name[kSmartNameChars - 1], 0) << "rest of the name field cleared";
    EXPECT_EQ(plat::FieldView(record.attributes[29].name, kSmartNameChars), u"Attrib 0");
    EXPECT_EQ(record.counters.powerOnHours, 5u);

    n.flags = 0;  // SCSI: the table stays as it was
    SmartDevice scsi;
    FillAttributes(scsi, n);
    EXPECT_EQ(scsi.attributes[0].id, 0);
    EXPECT_EQ(scsi.counters.powerOnHours, 5u);
}

}  // namespace
