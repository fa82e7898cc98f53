// ReadCapabilities: what a drive supports and how long its tests take. ATA
// drives answer in their S.M.A.R.T. data sector (ATA standard, off-line
// data collection and capability bytes 362 to 374); SCSI drives through
// mode pages, the diagnostic page list and the list of log pages.
#include "engine/CSmartFliegendeUntertasse.h"

#include "engine/AttributeCatalogue.h"
#include "engine/BigEndian.h"
#include "engine/EngineLock.h"
#include "engine/ScsiCdb.h"
#include "smart/LittleEndian.h"

namespace {

// Offsets in the S.M.A.R.T. READ DATA sector.
constexpr std::size_t kOfflineStatus = 362;
constexpr std::size_t kCollectTime = 364;
constexpr std::size_t kOfflineCapability = 367;
constexpr std::size_t kCapability = 368;
constexpr std::size_t kErrorLogging = 370;
constexpr std::size_t kShortTime = 372;  // minutes; then extended, conveyance

struct BitFlag {
    BYTE bit;
    DWORD flag;
};

constexpr BitFlag kOfflineCapabilityFlags[] = {
    {0x01, NODE_OFFLINE_COLLECT},        {0x10, NODE_SELFTEST},         {0x20, NODE_CONVEYANCE},
    {0x40, NODE_SELECTIVE},              {0x02, NODE_AUTO_OFFLINE_SUPPORTED},
    {0x04, NODE_ABORT_ON_COMMAND},       {0x08, NODE_OFFLINE_SCAN},
};

constexpr DWORD kSectorCapabilityFlags = NODE_ERROR_LOG | NODE_OFFLINE_COLLECT | NODE_SELFTEST | NODE_CONVEYANCE |
                                         NODE_SELECTIVE | NODE_AUTO_OFFLINE_SUPPORTED | NODE_AUTO_OFFLINE |
                                         NODE_ABORT_ON_COMMAND | NODE_OFFLINE_SCAN;

struct IdFlag {
    BYTE id;
    DWORD flag;
};

constexpr IdFlag kAttributeCounterFlags[] = {
    {1, NODE_READ_ERRORS},   {198, NODE_READ_ERRORS},  {4, NODE_START_STOP},    {7, NODE_SEEK_ERRORS},
    {9, NODE_POWER_ON_HOURS}, {194, NODE_TEMPERATURE}, {200, NODE_WRITE_ERRORS},
};

// The log pages a SCSI drive lists, and the node flags each one brings.
constexpr IdFlag kLogPageFlags[] = {
    {0x02, NODE_WRITE_ERRORS},
    {0x03, NODE_READ_ERRORS},
    {0x06, NODE_SEEK_ERRORS},
    {0x07, NODE_ERROR_LOG},
    {0x0D, NODE_TEMPERATURE | NODE_SCSI_TEMPERATURE_PAGE},
    {0x0E, NODE_START_STOP},
    {0x10, NODE_POWER_ON_HOURS | NODE_POWER_ON_FROM_SELFTEST | NODE_SELFTEST_LOG},
    {0x2F, NODE_SCSI_IE_PAGE},
};

void SetFlag(DeviceNode& node, DWORD flag, bool on) { node.flags = on ? (node.flags | flag) : (node.flags & ~flag); }

// Generations of ATA told apart by the capabilities they offer; later rules win.
BYTE AtaLevelFromCapabilities(DWORD flags) {
    BYTE level = 3;
    if (flags & (NODE_AUTO_OFFLINE_SUPPORTED | NODE_OFFLINE_COLLECT)) level = 4;
    if (flags & (NODE_SELFTEST | NODE_ERROR_LOG)) level = 5;
    if (flags & (NODE_CONVEYANCE | NODE_SELECTIVE)) level = 7;
    return level;
}

// The page codes of a page list (diagnostic or log), bounded by what fits.
template <typename Visit>
void ForEachListedPage(const BYTE* data, std::size_t size, Visit visit) {
    const std::size_t count = std::min<std::size_t>(BigEndian16(data + 2), size - 4);
    for (std::size_t i = 0; i < count; ++i) visit(data[4 + i]);
}

constexpr WORD kListAllocation = 200;

}  // namespace

bool CSmartFliegendeUntertasse::ReadAtaCapabilities(DeviceNode* node) {
    if (!RefreshValues(node)) return false;
    const BYTE* s = node->smartData;
    const WORD capability = smart_le::Get16(s + kCapability);
    SetFlag(*node, NODE_SAVE_ON_STANDBY, capability & 0x1);
    SetFlag(*node, NODE_AUTOSAVE_SUPPORTED, capability & 0x2);
    for (std::size_t i = 0; i < kSmartAttributeCount; ++i) {
        const BYTE id = ata_sector::Entry(s, i)[ata_sector::kId];
        for (const IdFlag& f : kAttributeCounterFlags) {
            if (f.id == id) node->flags |= f.flag;
        }
    }
    node->collectTime = smart_le::Get16(s + kCollectTime);
    node->shortTestTime = static_cast<WORD>(s[kShortTime] * 60);
    node->extendedTestTime = static_cast<WORD>(s[kShortTime + 1] * 60);
    node->conveyanceTestTime = static_cast<WORD>(s[kShortTime + 2] * 60);

    node->flags &= ~kSectorCapabilityFlags;
    SetFlag(*node, NODE_ERROR_LOG, s[kErrorLogging] & 0x1);
    for (const BitFlag& f : kOfflineCapabilityFlags) SetFlag(*node, f.flag, s[kOfflineCapability] & f.bit);
    SetFlag(*node, NODE_AUTO_OFFLINE, s[kOfflineStatus] & 0x80);
    if (node->ataLevel == 0) node->ataLevel = AtaLevelFromCapabilities(node->flags);
    node->flags |= NODE_CAPS_READ;
    return true;
}

void CSmartFliegendeUntertasse::ReadScsiCapabilities(DeviceNode* node) {
    BYTE data[kListAllocation];
    auto run = [&](const ScsiCdb& cdb, BYTE direction, DWORD length) {
        std::fill(std::begin(data), std::end(data), BYTE{0});
        PassThroughBlock block = MakePassThrough(cdb, direction, data, length);
        return ScsiCommand(node, &block);
    };
    constexpr BYTE kFlagsByte = 6;  // of the exceptions page, behind the 4-byte header

    // Which exception switches the drive lets us change, then their states.
    if (run(scsi::ModeSense6(scsi::kPageChangeable | scsi::kExceptionsPage, 16), SCSI_IOCTL_DATA_IN, 16) &&
        data[0] >= 15) {
        SetFlag(*node, NODE_AUTOSAVE_SUPPORTED, data[kFlagsByte] & 0x01);
        SetFlag(*node, NODE_AUTO_OFFLINE_SUPPORTED, data[kFlagsByte] & 0x20);
    }
    if ((node->flags & (NODE_AUTOSAVE_SUPPORTED | NODE_AUTO_OFFLINE_SUPPORTED)) &&
        run(scsi::ModeSense6(scsi::kExceptionsPage, 16), SCSI_IOCTL_DATA_IN, 16) && data[0] >= 15) {
        SetFlag(*node, NODE_AUTOSAVE, data[kFlagsByte] & 0x01);
        SetFlag(*node, NODE_AUTO_OFFLINE, data[kFlagsByte] & 0x20);
    }

    // Control mode page: extended self-test completion time in seconds.
    if (run(scsi::ModeSense6(scsi::kControlPage, 16), SCSI_IOCTL_DATA_IN, 16) && data[0] >= 15 &&
        BigEndian16(data + 14) != 0) {
        node->shortTestTime = 30;
        node->extendedTestTime = BigEndian16(data + 14);
        node->flags |= NODE_SELFTEST;
    }

    // Supported diagnostic pages; the vendor page 0x80 holds a collect time.
    bool vendorPage = false;
    if (run(scsi::SendDiagnostic(4), SCSI_IOCTL_DATA_OUT, 4) &&
        run(scsi::ReceiveDiagnostic(false, 0, kListAllocation), SCSI_IOCTL_DATA_IN, kListAllocation)) {
        ForEachListedPage(data, sizeof data, [&](BYTE page) { vendorPage = vendorPage || page == 0x80; });
    }
    if (vendorPage) {
        node->flags |= NODE_OFFLINE_SCAN;
        if (run(scsi::ReceiveDiagnostic(true, 0x80, 8), SCSI_IOCTL_DATA_IN, 8)) {
            node->collectTime = static_cast<WORD>(node->collectTime + BigEndian16(data + 2));
        } else {
            node->collectTime = node->extendedTestTime;
        }
    }

    // Supported log pages.
    if (ScsiLogSense(node, scsi::kLogCumulative | 0x00, data, kListAllocation)) {
        ForEachListedPage(data, sizeof data, [&](BYTE page) {
            for (const IdFlag& f : kLogPageFlags) {
                if (f.id == page) node->flags |= f.flag;
            }
        });
    }
    if (!(node->flags & NODE_SELFTEST_LOG)) node->flags &= ~DWORD(NODE_SELFTEST);

    // Without a temperature page, the exceptions page may carry it.
    if (!(node->flags & NODE_TEMPERATURE) && (node->flags & NODE_SCSI_IE_PAGE) &&
        ScsiLogSense(node, scsi::kLogCumulative | 0x2F, data, kListAllocation) && BigEndian16(data + 2) >= 7 &&
        BigEndian16(data + 4) == 0 && data[7] >= 3 && data[10] >= 1 && data[10] <= 127) {
        node->flags |= NODE_TEMPERATURE;
    }
}

bool CSmartFliegendeUntertasse::ReadCapabilities(SmartDevice* device) {
    if (!device) return false;
    EngineLock lock(m_lock);
    DeviceNode* node = FindNode(device->engineLink);
    if (!node) return false;
    if (node->IsAta() && !(node->flags & NODE_SUPPORTED) && node->ataLevel == 0) node->ataLevel = 2;
    if (!node->HasAll(NODE_SUPPORTED | NODE_ENABLED) || (node->flags & NODE_CAPS_READ)) return false;

    if (node->IsAta()) {
        if (!ReadAtaCapabilities(node)) return false;
    } else {
        if (!OpenDevice(node)) return false;
        ReadScsiCapabilities(node);
        node->flags |= NODE_CAPS_READ;
        RefreshValues(node);
        CloseDevice(node);
    }
    FillRecord(device, node);
    return true;
}

bool CSmartFliegendeUntertasse::ScsiLogSense(DeviceNode* node, BYTE pageControlAndCode, BYTE* buffer,
                                             WORD allocation, DWORD* transferred) {
    std::fill(buffer, buffer + allocation, BYTE{0});
    PassThroughBlock block = MakePassThrough(scsi::LogSense(pageControlAndCode, allocation), SCSI_IOCTL_DATA_IN,
                                             buffer, allocation);
    if (!ScsiCommand(node, &block)) return false;
    if (transferred) *transferred = TransferredLength(block, allocation);
    return true;
}
