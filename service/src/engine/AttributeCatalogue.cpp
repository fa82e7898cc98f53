// Attribute names, the ATA counters with the vendor rules for the power-on
// hours, and FillAttributes.
#include "engine/AttributeCatalogue.h"

#include <array>

#include "base/format.h"
#include "base/text.h"
#include "smart/LittleEndian.h"

namespace {

struct AttributeNameEntry {
    BYTE id;
    const char16_t* name;
};

constexpr AttributeNameEntry kNames[] = {
    {1, u"Read Error Rate"},      {2, u"Performance"},         {3, u"Spin up time"},
    {4, u"Start/Stop count"},     {5, u"Reallocated Sectors"}, {7, u"Seek Error Rate"},
    {8, u"Seek Performance"},     {9, u"Power on Hours"},      {10, u"Spin retry"},
    {12, u"Drive Power cycle"},   {191, u"Gsense Error rate"}, {192, u"Power off retract"},
    {193, u"Load Cycle"},         {194, u"Temperature"},       {195, u"ECC on the fly"},
    {196, u"Reallocated Sectors"}, {197, u"Pending sectors"},  {198, u"Uncorrected Sectors"},
    {199, u"UDMA CRC Errors"},    {200, u"Write Error rate"},  {201, u"TA Count"},
    {202, u"TA Count Inc"},       {203, u"Run out"},           {220, u"Disk Shift"},
    {222, u"Loaded Hours"},       {223, u"Load retry"},        {224, u"Load Friction"},
    {226, u"Load in Time"},       {240, u"Write Head test"},
};

// How a drive's raw power-on value is counted, by the start of its model text.
struct PowerOnRule {
    const char16_t* modelPrefix;
    DWORD unitsPerHour;
};

constexpr PowerOnRule kPowerOnRules[] = {
    {u"FUJITSU", 3600},  // seconds
    {u"MAXTOR", 60},     // minutes
    {u"SAMSUN", 60},     // minutes
};

DWORD PowerOnHours(const DeviceNode& node, DWORD raw) {
    std::u16string_view model = plat::FieldView(node.model, kModelChars);
    for (const PowerOnRule& rule : kPowerOnRules) {
        if (plat::StartsWithNoCase(model, rule.modelPrefix)) return raw / rule.unitsPerHour;
    }
    return raw;
}

void ApplyAttribute(DeviceNode& node, const BYTE* entry) {
    using namespace ata_sector;
    const std::uint64_t raw = smart_le::Get(entry + kRaw, 6);
    SmartCounters& c = node.counters;
    switch (entry[kId]) {
        case 1: c.readErrorsCorrected = raw; break;
        case 4: c.startStopCycles = static_cast<DWORD>(raw); break;
        case 7: c.nonMediumErrors = raw; break;
        case 9: c.powerOnHours = PowerOnHours(node, static_cast<DWORD>(raw)); break;
        case 194:
            c.temperature = entry[kRaw];
            c.secondTemperature = entry[kRaw + 4];
            break;
        case 198: c.readErrorsUncorrected = raw; break;
        case 200: c.writeErrorsCorrected = raw; break;
        default: break;
    }
}

}  // namespace

const std::u16string& AttributeName(BYTE id) {
    // Made once: every answer with attributes names all of them.
    static const auto* const names = [] {
        auto* all = new std::array<std::u16string, 256>;
        for (int i = 0; i < 256; ++i) (*all)[i] = plat::Format(u"Attrib %d", i);
        for (const AttributeNameEntry& e : kNames) (*all)[e.id] = e.name;
        return all;
    }();
    return (*names)[id];
}

void DeriveAtaCounters(DeviceNode& node) {
    for (std::size_t i = 0; i < kSmartAttributeCount; ++i) {
        ApplyAttribute(node, ata_sector::Entry(node.smartData, i));
    }
}

void FillAttributes(SmartDevice& record, const DeviceNode& node) {
    using namespace ata_sector;
    if (node.IsAta()) {
        for (std::size_t i = 0; i < kSmartAttributeCount; ++i) {
            const BYTE* entry = Entry(node.smartData, i);
            SmartAttribute& a = record.attributes[i];
            a.id = entry[kId];
            a.value = entry[kValue];
            a.worst = entry[kWorst];
            std::copy(entry + kRaw, entry + kRaw + 6, a.raw);
            a.threshold = entry[kThreshold];
            a.flags = smart_le::Get16(entry + kFlags);
            std::fill(std::begin(a.name), std::end(a.name), u'\0');
            plat::CopyToField(a.name, kSmartNameChars, AttributeName(a.id));
        }
    }
    record.counters = node.counters;
}
