// The node image and the node-flag to device-flag mapping.
#include "engine/DeviceNode.h"

#include <algorithm>

#include "smart/LittleEndian.h"

using namespace smart_le;

namespace {

struct FlagMapping {
    DWORD node;
    DWORD device;
};

// Node flags without a device counterpart (ATA, drive number, identity,
// SCSI page presence) are not listed.
constexpr FlagMapping kFlagMap[] = {
    {NODE_REMOVABLE, SMART_FLAG_REMOVABLE},
    {NODE_SUPPORTED, SMART_FLAG_SUPPORTED},
    {NODE_ENABLED, SMART_FLAG_ENABLED},
    {NODE_CAPS_READ, SMART_FLAG_CAPS_READ},
    {NODE_ERROR_LOG, SMART_FLAG_ERROR_LOG},
    {NODE_SELFTEST_LOG, SMART_FLAG_SELFTEST_LOG},
    {NODE_OFFLINE_COLLECT, SMART_FLAG_OFFLINE_COLLECT},
    {NODE_SELFTEST, SMART_FLAG_SELFTEST},
    {NODE_CONVEYANCE, SMART_FLAG_CONVEYANCE},
    {NODE_SELECTIVE, SMART_FLAG_SELECTIVE},
    {NODE_SAVE_ON_STANDBY, SMART_FLAG_SAVE_ON_STANDBY},
    {NODE_AUTOSAVE_SUPPORTED, SMART_FLAG_AUTOSAVE_SUPPORTED},
    {NODE_AUTOSAVE, SMART_FLAG_AUTOSAVE},
    {NODE_AUTO_OFFLINE_SUPPORTED, SMART_FLAG_AUTO_OFFLINE_SUPPORTED},
    {NODE_AUTO_OFFLINE, SMART_FLAG_AUTO_OFFLINE},
    {NODE_ABORT_ON_COMMAND, SMART_FLAG_ABORT_ON_COMMAND},
    {NODE_OFFLINE_SCAN, SMART_FLAG_OFFLINE_SCAN},
    {NODE_TEMPERATURE, SMART_FLAG_TEMPERATURE},
    {NODE_START_STOP, SMART_FLAG_START_STOP},
    {NODE_SEEK_ERRORS, SMART_FLAG_SEEK_ERRORS},
    {NODE_READ_ERRORS, SMART_FLAG_READ_ERRORS},
    {NODE_WRITE_ERRORS, SMART_FLAG_WRITE_ERRORS},
    {NODE_POWER_ON_HOURS, SMART_FLAG_POWER_ON_HOURS},
    {NODE_POWER_ON_FROM_SELFTEST, SMART_FLAG_POWER_ON_FROM_SELFTEST},
};

// Offsets of the 1320-byte image.
constexpr std::size_t kNext = 0;
constexpr std::size_t kType = 4;
constexpr std::size_t kNumber = 8;
constexpr std::size_t kNtName = 12;
constexpr std::size_t kFlags = 512;
constexpr std::size_t kCountersStamp = 520;
constexpr std::size_t kTestTimes = 528;  // collect, short, extended, conveyance
constexpr std::size_t kAddress = 536;    // port, path, target, lun
constexpr std::size_t kAtaLevel = 540;
constexpr std::size_t kHealthStamp = 544;
constexpr std::size_t kHealth = 552;
constexpr std::size_t kSelfTestStart = 560;
constexpr std::size_t kHandle = 568;
constexpr std::size_t kSelfTestType = 572;
constexpr std::size_t kSerial = 576;
constexpr std::size_t kModel = 618;
constexpr std::size_t kFirmware = 700;
constexpr std::size_t kCounters = 720;
constexpr std::size_t kSmartData = 808;
static_assert(kNtName + 2 * kNtNameChars == kFlags);
static_assert(kSerial + 2 * kSerialChars == kModel);
static_assert(kModel + 2 * kModelChars == kFirmware);
static_assert(kCounters + kSmartCountersSize == kSmartData);
static_assert(kSmartData + kSmartSectorSize == kDeviceNodeImageSize);

void PutFileTime(BYTE* p, const FILETIME& ft) {
    Put32(p, ft.dwLowDateTime);
    Put32(p + 4, ft.dwHighDateTime);
}
FILETIME GetFileTime(const BYTE* p) { return FILETIME{Get32(p), Get32(p + 4)}; }

template <typename Node, typename Visit>
void ForEachTestTime(Node& node, Visit visit) {
    auto fields = std::array{&node.collectTime, &node.shortTestTime, &node.extendedTestTime,
                             &node.conveyanceTestTime};
    for (std::size_t i = 0; i < fields.size(); ++i) visit(kTestTimes + 2 * i, *fields[i]);
}

template <typename Node, typename Visit>
void ForEachAddressByte(Node& node, Visit visit) {
    auto fields = std::array{&node.port, &node.path, &node.target, &node.lun};
    for (std::size_t i = 0; i < fields.size(); ++i) visit(kAddress + i, *fields[i]);
}

}  // namespace

DWORD NodeFlagsToDeviceFlags(DWORD nodeFlags) {
    DWORD device = 0;
    for (const FlagMapping& m : kFlagMap) {
        if (nodeFlags & m.node) device |= m.device;
    }
    return device;
}

DeviceNodeImage WriteDeviceNode(const DeviceNode& node) {
    DeviceNodeImage image{};
    BYTE* p = image.data();
    Put32(p + kNext, 0);
    Put32(p + kType, node.deviceType);
    Put32(p + kNumber, node.deviceNumber);
    PutWide(p + kNtName, node.ntName, kNtNameChars);
    Put32(p + kFlags, node.flags);
    PutFileTime(p + kCountersStamp, node.countersStamp);
    ForEachTestTime(node, [p](std::size_t at, WORD v) { Put16(p + at, v); });
    ForEachAddressByte(node, [p](std::size_t at, BYTE v) { p[at] = v; });
    p[kAtaLevel] = node.ataLevel;
    PutFileTime(p + kHealthStamp, node.healthStamp);
    p[kHealth] = node.health;
    Put64(p + kSelfTestStart, 0);
    Put32(p + kHandle, 0);
    Put32(p + kSelfTestType, node.selfTestType);
    PutWide(p + kSerial, node.serial, kSerialChars);
    PutWide(p + kModel, node.model, kModelChars);
    PutWide(p + kFirmware, node.firmware, kFirmwareChars);
    WriteCounters(node.counters, std::span<BYTE, kSmartCountersSize>(p + kCounters, kSmartCountersSize));
    std::copy(std::begin(node.smartData), std::end(node.smartData), p + kSmartData);
    return image;
}

bool ReadDeviceNode(std::span<const BYTE> image, DeviceNode& node) {
    if (image.size() != kDeviceNodeImageSize) return false;
    const BYTE* p = image.data();
    DeviceNode read;
    read.deviceType = Get32(p + kType);
    read.deviceNumber = Get32(p + kNumber);
    GetWide(p + kNtName, read.ntName, kNtNameChars);
    read.flags = Get32(p + kFlags);
    read.countersStamp = GetFileTime(p + kCountersStamp);
    ForEachTestTime(read, [p](std::size_t at, WORD& v) { v = Get16(p + at); });
    ForEachAddressByte(read, [p](std::size_t at, BYTE& v) { v = p[at]; });
    read.ataLevel = p[kAtaLevel];
    read.healthStamp = GetFileTime(p + kHealthStamp);
    read.health = p[kHealth];
    read.selfTestType = Get32(p + kSelfTestType);
    GetWide(p + kSerial, read.serial, kSerialChars);
    GetWide(p + kModel, read.model, kModelChars);
    GetWide(p + kFirmware, read.firmware, kFirmwareChars);
    ReadCounters(image.subspan(kCounters, kSmartCountersSize), read.counters);
    std::copy(p + kSmartData, p + kSmartData + kSmartSectorSize, read.smartData);
    node = read;
    return true;
}
