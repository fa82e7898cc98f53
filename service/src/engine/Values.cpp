// Reading values and health: RefreshValues with its 300-second cache,
// ReadAttributes and ReadStatus.
#include "engine/CSmartFliegendeUntertasse.h"

#include <algorithm>

#include "base/clock.h"
#include "engine/AttributeCatalogue.h"
#include "engine/BigEndian.h"
#include "engine/EngineLock.h"
#include "engine/LogPage.h"
#include "engine/ScsiCdb.h"

namespace {

constexpr std::uint64_t kCacheAge = 300 * plat::kFileTimePerSecond;
constexpr WORD kLogAllocation = 200;

FILETIME Now() { return plat::U64ToFileTime(plat::CurrentClock().NowFileTime()); }

// A stamp younger than 300 seconds means the cached data still counts. A
// stamp after now (the clock was set back, or a stored node came from a
// clock that ran ahead) is stale: otherwise the drive would go unread until
// the clock caught up.
bool IsFresh(const FILETIME& stamp) {
    const std::uint64_t at = plat::FileTimeToU64(stamp);
    const std::uint64_t now = plat::CurrentClock().NowFileTime();
    return at <= now && now - at < kCacheAge;
}

// The twelfth byte of each attribute entry carries the threshold of the
// entry with the same id in a READ THRESHOLDS sector (id, threshold, ...).
void MergeThresholds(BYTE* sector, const BYTE* thresholds) {
    using namespace ata_sector;
    for (std::size_t i = 0; i < kSmartAttributeCount; ++i) {
        BYTE* entry = Entry(sector, i);
        entry[kThreshold] = 0;
        for (std::size_t j = 0; entry[kId] != 0 && j < kSmartAttributeCount; ++j) {
            const BYTE* t = Entry(thresholds, j);
            if (t[0] == entry[kId]) {
                entry[kThreshold] = t[1];
                break;
            }
        }
    }
}

void CarryThresholds(BYTE* sector, const BYTE* kept) {
    using namespace ata_sector;
    for (std::size_t i = 0; i < kSmartAttributeCount; ++i) Entry(sector, i)[kThreshold] = Entry(kept, i)[kThreshold];
}

// The log pages that feed the counters, read in this order when their
// node flag is set.
struct ValuePage {
    DWORD flag;
    BYTE page;
};
constexpr ValuePage kValuePages[] = {
    {NODE_WRITE_ERRORS, log_page::kWriteErrors},
    {NODE_READ_ERRORS, log_page::kReadErrors},
    {NODE_SEEK_ERRORS, log_page::kNonMediumErrors},
    {NODE_TEMPERATURE, 0},  // page chosen by TemperaturePage
    {NODE_START_STOP, log_page::kStartStop},
    {NODE_POWER_ON_HOURS, log_page::kSelfTestResults},
};

BYTE TemperaturePage(DWORD flags) {
    if (flags & NODE_SCSI_TEMPERATURE_PAGE) return log_page::kTemperature;
    if (flags & NODE_SCSI_IE_PAGE) return log_page::kInformationalExceptions;
    return 0;
}

// Health from the additional sense code and qualifier (SPC-4): a failure
// prediction or an exceeded temperature is bad, a test report is not.
BYTE HealthFromSense(BYTE code, BYTE qualifier) {
    if (code == 0x5D) return qualifier == 0xFF ? 1 : 0;
    if (code == 0x0B && qualifier == 0x01) return 0;
    return 1;
}

}  // namespace

bool CSmartFliegendeUntertasse::RefreshAtaValues(DeviceNode* node) {
    BYTE kept[kSmartSectorSize];
    std::copy(std::begin(node->smartData), std::end(node->smartData), kept);
    bool result = false;
    if (ReceiveSmartData(node, node->smartData, kSmartSectorSize, SMART_CMD, READ_ATTRIBUTES, 0, 0)) {
        DeriveAtaCounters(*node);
        node->countersStamp = Now();
        result = true;
    }
    if (node->flags & NODE_IDENTIFIED) {
        BYTE thresholds[kSmartSectorSize] = {};
        // Thresholds are read until the capabilities are; after that they
        // carry over from the previous sector. A failed read carries over too
        // rather than leaving the sector's reserved bytes as thresholds.
        if (!(node->flags & NODE_CAPS_READ) &&
            ReceiveSmartData(node, thresholds, kSmartSectorSize, SMART_CMD, READ_THRESHOLDS, 0, 0)) {
            MergeThresholds(node->smartData, thresholds);
        } else {
            CarryThresholds(node->smartData, kept);
        }
    }
    return result;
}

bool CSmartFliegendeUntertasse::RefreshScsiValues(DeviceNode* node) {
    if (!(node->flags & NODE_CAPS_READ)) return false;
    bool result = false;
    BYTE data[kLogAllocation];
    for (const ValuePage& v : kValuePages) {
        const BYTE page = v.page ? v.page : TemperaturePage(node->flags);
        if (!(node->flags & v.flag) || page == 0) continue;
        DWORD transferred = 0;
        if (ScsiLogSense(node, scsi::kLogCumulative | page, data, kLogAllocation, &transferred)) {
            ParseLogPage(*node, page, data, transferred);
            node->countersStamp = Now();
            result = true;
        }
    }
    return result;
}

bool CSmartFliegendeUntertasse::RefreshValues(DeviceNode* node) {
    if (!node->HasAll(NODE_SUPPORTED | NODE_ENABLED)) return false;
    if (IsFresh(node->countersStamp)) return true;
    const bool opened = node->handle == nullptr;
    if (opened && !OpenDevice(node)) return false;
    const bool result = node->IsAta() ? RefreshAtaValues(node) : RefreshScsiValues(node);
    if (opened) CloseDevice(node);
    return result;
}

bool CSmartFliegendeUntertasse::ReadAttributes(SmartDevice* device) {
    if (!device) return false;
    EngineLock lock(m_lock);
    DeviceNode* node = FindNode(device->engineLink);
    if (!node) return false;
    const bool result = RefreshValues(node);
    FillAttributes(*device, *node);
    return result;
}

bool CSmartFliegendeUntertasse::ReadAtaHealth(DeviceNode* node) {
    BYTE out[1024] = {};
    ULONG_PTR returned = 0;
    const SENDCMDINPARAMS in = MakeSendCommand(node, SMART_CMD, RETURN_SMART_STATUS, 0, 0, 0);
    const NTSTATUS status = DeviceControl(node, SMART_SEND_DRIVE_COMMAND, &in, kSendCmdInSize, out, sizeof out,
                                          &returned);
    if (!NT_SUCCESS(status) || returned < kSendCmdOutSize + 8 || out[kDriverErrorOffset] != 0) return false;
    // The drive answers in the cylinder registers of the returned task file.
    const BYTE* regs = out + kSendCmdOutSize;
    node->health = (regs[3] == 0xF4 && regs[4] == 0x2C) ? 0 : 1;
    return true;
}

bool CSmartFliegendeUntertasse::ReadScsiHealth(DeviceNode* node) {
    BYTE data[kLogAllocation];
    BYTE code = 0;
    BYTE qualifier = 0;
    if (node->flags & NODE_SCSI_IE_PAGE) {
        if (!ScsiLogSense(node, scsi::kLogCumulative | log_page::kInformationalExceptions, data, kLogAllocation) ||
            BigEndian16(data + 2) < 6 || BigEndian16(data + 4) != 0 || data[7] < 2) {
            return false;
        }
        code = data[8];
        qualifier = data[9];
    } else {
        std::fill(std::begin(data), std::end(data), BYTE{0});
        PassThroughBlock block = MakePassThrough(scsi::RequestSense(18), SCSI_IOCTL_DATA_IN, data, 18);
        if (!ScsiCommand(node, &block)) return false;
        code = data[12];
        qualifier = data[13];
    }
    node->health = HealthFromSense(code, qualifier);
    return true;
}

bool CSmartFliegendeUntertasse::ReadStatus(SmartDevice* device) {
    if (!device) return false;
    EngineLock lock(m_lock);
    DeviceNode* node = FindNode(device->engineLink);
    if (!node || !node->HasAll(NODE_SUPPORTED | NODE_ENABLED | NODE_CAPS_READ)) return false;
    if (IsFresh(node->healthStamp)) {
        device->health = node->health;
        return true;
    }
    if (!OpenDevice(node)) return false;
    const bool result = node->IsAta() ? ReadAtaHealth(node) : ReadScsiHealth(node);
    if (result) node->healthStamp = Now();
    CloseDevice(node);
    device->health = node->health;
    return result;
}
