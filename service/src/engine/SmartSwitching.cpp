// Switching S.M.A.R.T., attribute autosave and automatic off-line
// collection on and off. ATA drives get the S.M.A.R.T. sub-command; SCSI
// drives get the informational-exceptions control page (SPC-4 mode page
// 0x1C) written with the wanted state.
#include "engine/CSmartFliegendeUntertasse.h"

#include "engine/EngineLock.h"
#include "engine/ScsiCdb.h"

namespace {
constexpr DWORD kSwitchBase = NODE_SUPPORTED | NODE_ENABLED | NODE_CAPS_READ;
}  // namespace

struct CSmartFliegendeUntertasse::Switch {
    DWORD needs;       // node flags the operation requires
    BYTE feature;      // ATA S.M.A.R.T. sub-command
    BYTE sectorCount;
    DWORD state;       // node flag the operation switches
    bool on;           // wanted state
    DWORD deviceFlag;  // record flag mirroring `state`
};

bool CSmartFliegendeUntertasse::WriteExceptionsPage(DeviceNode* node, bool enabled, bool logErrors,
                                                    bool background) {
    return WriteExceptionsPage(node, enabled, logErrors, background, enabled);
}

bool CSmartFliegendeUntertasse::WriteExceptionsPage(DeviceNode* node, bool enabled, bool logErrors,
                                                    bool background, bool reportOnRequest) {
    BYTE data[16] = {};
    data[4] = scsi::kExceptionsPage;
    data[5] = 0x0A;
    data[6] = BYTE((enabled ? 0 : 0x08) | (logErrors ? 0x01 : 0) | (background ? 0x20 : 0));
    data[7] = reportOnRequest ? 6 : 0;  // method of reporting
    PassThroughBlock block =
        MakePassThrough(scsi::ModeSelect6(sizeof data), SCSI_IOCTL_DATA_OUT, data, sizeof data);
    return ScsiCommand(node, &block);
}

bool CSmartFliegendeUntertasse::RunSwitch(SmartDevice* device, const Switch& sw) {
    if (!device) return false;
    EngineLock lock(m_lock);
    DeviceNode* node = FindNode(device->engineLink);
    if (!node || !node->HasAll(sw.needs) || !OpenDevice(node)) return false;

    bool sent;
    if (node->IsAta()) {
        sent = SendSmartCommand(node, SMART_CMD, sw.feature, sw.sectorCount, 0);
    } else {
        auto wanted = [&](DWORD flag) { return sw.state == flag ? sw.on : (node->flags & flag) != 0; };
        sent = WriteExceptionsPage(node, wanted(NODE_ENABLED), wanted(NODE_AUTOSAVE), wanted(NODE_AUTO_OFFLINE));
    }
    if (sent) node->flags = sw.on ? (node->flags | sw.state) : (node->flags & ~sw.state);
    CloseDevice(node);

    const bool isOn = (node->flags & sw.state) != 0;
    device->flags = isOn ? (device->flags | sw.deviceFlag) : (device->flags & ~sw.deviceFlag);
    return isOn == sw.on;
}

namespace {
constexpr DWORD kAutosaveBase = kSwitchBase | NODE_AUTOSAVE_SUPPORTED;
constexpr DWORD kAutoOfflineBase = kSwitchBase | NODE_AUTO_OFFLINE_SUPPORTED;
constexpr BYTE kAutosaveOn = 0xF1;
constexpr BYTE kAutoOfflineOn = 0xF8;
}  // namespace

bool CSmartFliegendeUntertasse::EnableSmart(SmartDevice* device) {
    return RunSwitch(device, {NODE_SUPPORTED, ENABLE_SMART, 0, NODE_ENABLED, true, SMART_FLAG_ENABLED});
}

bool CSmartFliegendeUntertasse::DisableSmart(SmartDevice* device) {
    return RunSwitch(device,
                     {NODE_SUPPORTED | NODE_ENABLED, DISABLE_SMART, 0, NODE_ENABLED, false, SMART_FLAG_ENABLED});
}

bool CSmartFliegendeUntertasse::EnableAutosave(SmartDevice* device) {
    return RunSwitch(device, {kAutosaveBase, ENABLE_DISABLE_AUTOSAVE, kAutosaveOn, NODE_AUTOSAVE, true,
                              SMART_FLAG_AUTOSAVE});
}

bool CSmartFliegendeUntertasse::DisableAutosave(SmartDevice* device) {
    return RunSwitch(device, {kAutosaveBase | NODE_AUTOSAVE, ENABLE_DISABLE_AUTOSAVE, 0, NODE_AUTOSAVE, false,
                              SMART_FLAG_AUTOSAVE});
}

bool CSmartFliegendeUntertasse::EnableAutoOffline(SmartDevice* device) {
    return RunSwitch(device, {kAutoOfflineBase, ENABLE_DISABLE_AUTO_OFFLINE, kAutoOfflineOn, NODE_AUTO_OFFLINE,
                              true, SMART_FLAG_AUTO_OFFLINE});
}

bool CSmartFliegendeUntertasse::DisableAutoOffline(SmartDevice* device) {
    return RunSwitch(device, {kAutoOfflineBase | NODE_AUTO_OFFLINE, ENABLE_DISABLE_AUTO_OFFLINE, 0,
                              NODE_AUTO_OFFLINE, false, SMART_FLAG_AUTO_OFFLINE});
}
