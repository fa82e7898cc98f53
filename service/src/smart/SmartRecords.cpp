// Fixed images of the counters and attribute records, and the device list.
#include "smart/SmartRecords.h"

#include <array>

#include "smart/LittleEndian.h"

using namespace smart_le;

void FreeSmartDeviceList(SmartDevice* list) {
    while (list) {
        SmartDevice* next = list->next;
        delete list;
        list = next;
    }
}

const char* SmartFlagName(unsigned bit) {
    static const char* const kNames[kSmartFlagBits] = {
        "SMART_FLAG_REMOVABLE",       "SMART_FLAG_SUPPORTED",
        "SMART_FLAG_ENABLED",         "SMART_FLAG_CAPS_READ",
        "SMART_FLAG_ERROR_LOG",       "SMART_FLAG_SELFTEST_LOG",
        "SMART_FLAG_OFFLINE_COLLECT", "SMART_FLAG_SELFTEST",
        "SMART_FLAG_CONVEYANCE",      "SMART_FLAG_SELECTIVE",
        "SMART_FLAG_SAVE_ON_STANDBY", "SMART_FLAG_AUTOSAVE_SUPPORTED",
        "SMART_FLAG_AUTOSAVE",        "SMART_FLAG_AUTO_OFFLINE_SUPPORTED",
        "SMART_FLAG_AUTO_OFFLINE",    "SMART_FLAG_ABORT_ON_COMMAND",
        "SMART_FLAG_OFFLINE_SCAN",    "SMART_FLAG_TEMPERATURE",
        "SMART_FLAG_START_STOP",      "SMART_FLAG_SEEK_ERRORS",
        "SMART_FLAG_READ_ERRORS",     "SMART_FLAG_WRITE_ERRORS",
        "SMART_FLAG_POWER_ON_HOURS",  "SMART_FLAG_POWER_ON_FROM_SELFTEST",
    };
    return bit < kSmartFlagBits ? kNames[bit] : nullptr;
}

// Offsets of the 88-byte counters image.
namespace {
constexpr std::size_t kCounter64Offsets = 0;  // seven u64 counters at 0, 8, ..., 48
constexpr std::size_t kPowerOnHours = 56;
constexpr std::size_t kStartStop = 60;
constexpr std::size_t kLifetimeStartStop = 64;
constexpr std::size_t kYear = 68;
constexpr std::size_t kWeek = 78;
constexpr std::size_t kTemperature = 84;
constexpr std::size_t kSecondTemperature = 85;
constexpr std::size_t kUnused = 86;

// The seven 64-bit counters in image order.
template <typename Counters>
auto Counter64Fields(Counters& c) {
    return std::array{&c.writeErrorsCorrected, &c.writeErrorsUncorrected, &c.bytesWritten,
                      &c.readErrorsCorrected,  &c.readErrorsUncorrected,  &c.bytesRead,
                      &c.nonMediumErrors};
}
}  // namespace

void WriteCounters(const SmartCounters& c, std::span<BYTE, kSmartCountersSize> out) {
    BYTE* p = out.data();
    std::size_t offset = kCounter64Offsets;
    for (const ULONGLONG* field : Counter64Fields(c)) {
        Put64(p + offset, *field);
        offset += 8;
    }
    Put32(p + kPowerOnHours, c.powerOnHours);
    Put32(p + kStartStop, c.startStopCycles);
    Put32(p + kLifetimeStartStop, c.lifetimeStartStopCycles);
    PutWide(p + kYear, c.manufactureYear, 5);
    PutWide(p + kWeek, c.manufactureWeek, 3);
    p[kTemperature] = c.temperature;
    p[kSecondTemperature] = c.secondTemperature;
    p[kUnused] = c.unused[0];
    p[kUnused + 1] = c.unused[1];
}

bool ReadCounters(std::span<const BYTE> in, SmartCounters& c) {
    if (in.size() < kSmartCountersSize) return false;
    const BYTE* p = in.data();
    std::size_t offset = kCounter64Offsets;
    for (ULONGLONG* field : Counter64Fields(c)) {
        *field = Get64(p + offset);
        offset += 8;
    }
    c.powerOnHours = Get32(p + kPowerOnHours);
    c.startStopCycles = Get32(p + kStartStop);
    c.lifetimeStartStopCycles = Get32(p + kLifetimeStartStop);
    GetWide(p + kYear, c.manufactureYear, 5);
    GetWide(p + kWeek, c.manufactureWeek, 3);
    c.temperature = p[kTemperature];
    c.secondTemperature = p[kSecondTemperature];
    c.unused[0] = p[kUnused];
    c.unused[1] = p[kUnused + 1];
    return true;
}

// Offsets of the 72-byte attribute image.
namespace {
constexpr std::size_t kAttrFlags = 60;
constexpr std::size_t kAttrId = 62;
constexpr std::size_t kAttrValue = 63;
constexpr std::size_t kAttrWorst = 64;
constexpr std::size_t kAttrRaw = 65;
constexpr std::size_t kAttrThreshold = 71;
}  // namespace

void WriteAttribute(const SmartAttribute& a, std::span<BYTE, kSmartAttributeSize> out) {
    BYTE* p = out.data();
    PutWide(p, a.name, kSmartNameChars);
    Put16(p + kAttrFlags, a.flags);
    p[kAttrId] = a.id;
    p[kAttrValue] = a.value;
    p[kAttrWorst] = a.worst;
    for (std::size_t i = 0; i < 6; ++i) p[kAttrRaw + i] = a.raw[i];
    p[kAttrThreshold] = a.threshold;
}

bool ReadAttribute(std::span<const BYTE> in, SmartAttribute& a) {
    if (in.size() < kSmartAttributeSize) return false;
    const BYTE* p = in.data();
    GetWide(p, a.name, kSmartNameChars);
    a.flags = Get16(p + kAttrFlags);
    a.id = p[kAttrId];
    a.value = p[kAttrValue];
    a.worst = p[kAttrWorst];
    for (std::size_t i = 0; i < 6; ++i) a.raw[i] = p[kAttrRaw + i];
    a.threshold = p[kAttrThreshold];
    return true;
}
