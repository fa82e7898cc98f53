#include "marshal/SmartDeviceWire.h"

#include <array>
#include <span>

#include "smart/LittleEndian.h"

namespace {

using WireImage = std::array<BYTE, kSmartDeviceWireSize>;

// Writes or reads the image field by field, in wire order.
class Cursor {
public:
    explicit Cursor(BYTE* at) : m_at(at) {}
    BYTE* Take(std::size_t width) {
        BYTE* field = m_at;
        m_at += width;
        return field;
    }

private:
    BYTE* m_at;
};

void WriteImage(const SmartDevice& d, WireImage& image) {
    Cursor c(image.data());
    smart_le::Put64(c.Take(8), d.serverId);
    smart_le::Put32(c.Take(4), d.deviceType);
    smart_le::Put32(c.Take(4), d.deviceNumber);
    smart_le::PutWide(c.Take(2 * kModelChars), d.model, kModelChars);
    smart_le::PutWide(c.Take(2 * kFirmwareChars), d.firmware, kFirmwareChars);
    smart_le::PutWide(c.Take(2 * kSerialChars), d.serial, kSerialChars);
    smart_le::Put32(c.Take(4), d.flags);
    for (WORD time : {d.collectTime, d.shortTestTime, d.extendedTestTime, d.conveyanceTestTime})
        smart_le::Put16(c.Take(2), time);
    for (BYTE b : {d.port, d.path, d.target, d.lun, d.ataLevel}) *c.Take(1) = b;
    WriteCounters(d.counters, std::span<BYTE, kSmartCountersSize>(c.Take(kSmartCountersSize), kSmartCountersSize));
    *c.Take(1) = d.health;
    for (const SmartAttribute& a : d.attributes)
        WriteAttribute(a, std::span<BYTE, kSmartAttributeSize>(c.Take(kSmartAttributeSize), kSmartAttributeSize));
}

bool ReadImage(WireImage& image, SmartDevice& d) {
    Cursor c(image.data());
    d.serverId = smart_le::Get64(c.Take(8));
    d.deviceType = smart_le::Get32(c.Take(4));
    d.deviceNumber = smart_le::Get32(c.Take(4));
    smart_le::GetWide(c.Take(2 * kModelChars), d.model, kModelChars);
    smart_le::GetWide(c.Take(2 * kFirmwareChars), d.firmware, kFirmwareChars);
    smart_le::GetWide(c.Take(2 * kSerialChars), d.serial, kSerialChars);
    d.flags = smart_le::Get32(c.Take(4));
    for (WORD* time : {&d.collectTime, &d.shortTestTime, &d.extendedTestTime, &d.conveyanceTestTime})
        *time = smart_le::Get16(c.Take(2));
    for (BYTE* b : {&d.port, &d.path, &d.target, &d.lun, &d.ataLevel}) *b = *c.Take(1);
    if (!ReadCounters(std::span<const BYTE>(c.Take(kSmartCountersSize), kSmartCountersSize), d.counters))
        return false;
    d.health = *c.Take(1);
    for (SmartAttribute& a : d.attributes) {
        if (!ReadAttribute(std::span<const BYTE>(c.Take(kSmartAttributeSize), kSmartAttributeSize), a)) return false;
    }
    return true;
}

}  // namespace

bool PutSmartDevice(CZmArchive& archive, const SmartDevice& device) {
    WireImage image{};
    WriteImage(device, image);
    return archive.PutBytes(image.data(), kSmartDeviceWireSize) != 0;
}

bool GetSmartDevice(CZmArchive& archive, SmartDevice& device) {
    WireImage image{};
    if (!archive.GetBytes(image.data(), kSmartDeviceWireSize)) return false;
    device = SmartDevice{};
    if (ReadImage(image, device)) return true;
    device = SmartDevice{};
    return false;
}
