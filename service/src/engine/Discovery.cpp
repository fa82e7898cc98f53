// GetDevices and ProbeDevice: finding the drives by their NT device names,
// telling ATA drives from SCSI devices, reading their identity, and
// recognising drives already known so their state and cached data carry
// over.
#include "engine/CSmartFliegendeUntertasse.h"

#include <algorithm>
#include <mutex>
#include <memory>

#include "base/clock.h"
#include "base/format.h"
#include "base/text.h"
#include "engine/AtaIdentity.h"
#include "engine/EngineLock.h"
#include "engine/ScsiCdb.h"

namespace {

// Tried in this order for every N from 0 to 255.
constexpr const char16_t* kNamePatterns[] = {
    u"\\Device\\Harddisk%d\\Partition0", u"\\Device\\CdRom%d", u"\\Device\\Floppy%d",
    u"\\Device\\Tape%d", u"\\Device\\ScsiPort%d",
};
constexpr std::size_t kFloppyPattern = 2;
constexpr int kDeviceNumbers = 256;
constexpr std::size_t kNameChars = 50;
constexpr DWORD kFloppyType = 1;

// An id is the system time with a per-record serial folded into its low
// half. Time XOR serial alone can repeat (a later time with a later serial
// can give the same bits), and the dispatcher finds records by id, so ids
// are also forced strictly increasing within the process: an id is never
// given to a second drive, also not after its drive has gone.
std::mutex g_serverIdMutex;
DWORD g_recordSerial = 0;
SmartServerId g_lastServerId = 0;

SmartServerId MakeServerId() {
    std::lock_guard lock(g_serverIdMutex);
    const std::uint64_t now = plat::CurrentClock().NowFileTime();
    const DWORD low = static_cast<DWORD>(now) ^ ++g_recordSerial;
    SmartServerId id = (now & 0xFFFFFFFF00000000ull) | low;
    if (id <= g_lastServerId) id = g_lastServerId + 1;
    g_lastServerId = id;
    return id;
}

template <std::size_t N>
bool SameField(const WCHAR (&a)[N], const WCHAR (&b)[N]) {
    return std::equal(std::begin(a), std::end(a), std::begin(b));
}

bool SameDrive(const DeviceNode& a, const DeviceNode& b) {
    return SameField(a.serial, b.serial) && SameField(a.model, b.model) && SameField(a.firmware, b.firmware) &&
           a.deviceNumber == b.deviceNumber && SameField(a.ntName, b.ntName) && a.port == b.port &&
           a.path == b.path && a.target == b.target && a.lun == b.lun && a.IsAta() == b.IsAta() &&
           (!a.IsAta() || a.DriveNumber() == b.DriveNumber());
}

void WidenBytes(WCHAR* field, const BYTE* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) field[i] = bytes[i];
}

}  // namespace

SmartDevice* CSmartFliegendeUntertasse::GetDevices() {
    if (!m_primary) return nullptr;
    EngineLock lock(m_lock);
    for (DeviceNode* n = m_nodes; n; n = n->next) {
        if (n->IsBusy()) return nullptr;
    }
    // The stored nodes become the known drives of the first discovery.
    if (!m_nodes) LoadHistory(&m_nodes);

    DeviceNode* found = nullptr;
    DeviceNode** tail = &found;
    for (int number = 0; number < kDeviceNumbers; ++number) {
        for (std::size_t p = 0; p < std::size(kNamePatterns); ++p) {
            const std::u16string name = plat::FormatN(kNameChars - 1, kNamePatterns[p], number);
            DeviceNode* node = ProbeDevice(name, static_cast<DWORD>(number));
            if (!node) continue;
            if (p == kFloppyPattern) node->deviceType = kFloppyType;
            *tail = node;
            tail = &node->next;
        }
    }
    FreeNodes();
    m_nodes = found;

    SmartDevice* list = nullptr;
    SmartDevice** recordTail = &list;
    for (DeviceNode* n = m_nodes; n; n = n->next) {
        auto* record = new SmartDevice{};
        // A drive found again keeps its id, so the ids other clients hold
        // stay valid; a new drive (or one that was gone) gets a new one.
        if (n->serverId == 0) n->serverId = MakeServerId();
        record->serverId = n->serverId;
        FillRecord(record, n);
        record->engineLink = n;
        *recordTail = record;
        recordTail = &record->next;
    }
    return list;
}

DeviceNode* CSmartFliegendeUntertasse::FindKnownNode(const DeviceNode& probed) const {
    for (DeviceNode* n = m_nodes; n; n = n->next) {
        if (SameDrive(*n, probed)) return n;
    }
    return nullptr;
}

void CSmartFliegendeUntertasse::ReapplyAtaState(DeviceNode* known) {
    struct Reapply {
        DWORD flag;
        BYTE feature;
        BYTE sectorCount;
    };
    static constexpr Reapply kStates[] = {
        {NODE_ENABLED, ENABLE_SMART, 0},
        {NODE_AUTOSAVE, ENABLE_DISABLE_AUTOSAVE, 0xF1},
        {NODE_AUTO_OFFLINE, ENABLE_DISABLE_AUTO_OFFLINE, 0xF8},
    };
    for (const Reapply& r : kStates) {
        if ((known->flags & r.flag) && !SendSmartCommand(known, SMART_CMD, r.feature, r.sectorCount, 0)) {
            known->flags &= ~r.flag;
        }
    }
}

void CSmartFliegendeUntertasse::ReapplyScsiState(DeviceNode* known) {
    if (!(known->flags & NODE_SUPPORTED)) return;
    if (!WriteExceptionsPage(known, known->flags & NODE_ENABLED, known->flags & NODE_AUTOSAVE,
                             known->flags & NODE_AUTO_OFFLINE, true)) {
        known->flags &= ~DWORD(NODE_ENABLED | NODE_AUTOSAVE | NODE_AUTO_OFFLINE);
    }
}

void CSmartFliegendeUntertasse::AdoptKnownNode(DeviceNode* known, DeviceNode* probed) {
    known->handle = probed->handle;
    probed->handle = nullptr;
    if (known->IsAta()) {
        ReapplyAtaState(known);
    } else {
        ReapplyScsiState(known);
    }
    CloseDevice(known);
    *probed = *known;
    probed->next = nullptr;
    // The id moves with the drive's state: a second probe that matched the
    // same known node would otherwise carry the same id.
    known->serverId = 0;
}

// Fills an ATA node from IDENTIFY DEVICE. False when the drive does not
// answer it, so the caller treats it as a SCSI device.
bool CSmartFliegendeUntertasse::ProbeAta(DeviceNode* node) {
    using namespace ata_identify;
    BYTE id[kSmartSectorSize] = {};
    if (!ReceiveSmartData(node, id, sizeof id, ID_CMD, 0, 0, 0)) return false;
    TakeIdentityStrings(id, *node);
    if (DeviceNode* known = FindKnownNode(*node)) {
        AdoptKnownNode(known, node);
        return true;
    }
    node->ataLevel = AtaLevelFromIdentity(id);
    WORD commandSet = Word(id, kCommandSet1);
    WORD enabled = Word(id, kEnabled1);
    // Drives that leave the command-set words empty may still take the
    // enable command.
    if ((commandSet == 0 || commandSet == 0xFFFF) && SendSmartCommand(node, SMART_CMD, ENABLE_SMART, 0, 0)) {
        commandSet = 1;
        enabled = 1;
    }
    if (commandSet & 1) node->flags |= NODE_SUPPORTED;
    if (enabled & 1) {
        node->flags |= NODE_ENABLED;
        if (!SendSmartCommand(node, SMART_CMD, ENABLE_SMART, 0, 0)) node->flags &= ~DWORD(NODE_ENABLED);
    }
    node->flags |= NODE_IDENTIFIED;
    CloseDevice(node);
    return true;
}

// Fills a SCSI node from INQUIRY and the exceptions page. False when the
// device does not answer a standard INQUIRY.
bool CSmartFliegendeUntertasse::ProbeScsi(DeviceNode* node) {
    BYTE data[64] = {};
    BYTE allocation = 56;
    PassThroughBlock serial = MakePassThrough(scsi::Inquiry(true, 0x80, 24), SCSI_IOCTL_DATA_IN, data, 24);
    if (ScsiCommand(node, &serial) && data[3] > 0) {
        WidenBytes(node->serial, data + 4, std::min<std::size_t>({data[3], 20, 24 - 4}));
        allocation = 36;
    }
    std::fill(std::begin(data), std::end(data), BYTE{0});
    PassThroughBlock inquiry = MakePassThrough(scsi::Inquiry(false, 0, allocation), SCSI_IOCTL_DATA_IN, data,
                                               allocation);
    if (!ScsiCommand(node, &inquiry)) return false;
    const BYTE additional = std::min(data[4], allocation);
    if (additional >= 27) WidenBytes(node->model, data + 8, 24);       // vendor and product
    if (additional >= 31) WidenBytes(node->firmware, data + 32, 4);
    if (additional >= 51) WidenBytes(node->serial, data + 36, 20);

    if (DeviceNode* known = FindKnownNode(*node)) {
        AdoptKnownNode(known, node);
        return true;
    }
    std::fill(std::begin(data), std::end(data), BYTE{0});
    PassThroughBlock sense = MakePassThrough(scsi::ModeSense6(scsi::kExceptionsPage, 16), SCSI_IOCTL_DATA_IN, data,
                                             16);
    if (ScsiCommand(node, &sense) && data[0] >= 15) {
        const BYTE flags = data[6];
        node->flags |= NODE_SUPPORTED;
        if (!(flags & 0x08)) {
            node->flags |= NODE_ENABLED;
            // Reporting on request keeps the drive from raising exceptions
            // through other channels; the outcome does not change the node.
            WriteExceptionsPage(node, true, flags & 0x01, flags & 0x20);
        }
    }
    CloseDevice(node);
    return true;
}

DeviceNode* CSmartFliegendeUntertasse::ProbeDevice(std::u16string_view name, DWORD number) {
    const std::u16string target = FollowSymbolicLinks(name);
    // A name the node cannot hold whole could not be opened again later.
    if (target.size() >= kNtNameChars) return nullptr;
    auto node = std::make_unique<DeviceNode>();
    node->deviceNumber = number;
    plat::CopyToField(node->ntName, kNtNameChars, target);
    if (!OpenDevice(node.get())) return nullptr;

    if (!ReadDeviceInformation(node.get())) {
        CloseDevice(node.get());
        return nullptr;
    }
    ReadScsiAddress(node.get());
    ReadSmartVersion(node.get());

    if (node->IsAta()) {
        if (ProbeAta(node.get())) return node.release();
        node->flags &= ~DWORD(NODE_ATA | NODE_DRIVE_NUMBER_MASK);
    }
    if (ProbeScsi(node.get())) return node.release();
    CloseDevice(node.get());
    return nullptr;
}
