// ReadLog: a SCSI drive's last-error-events or self-test-results log page,
// handed to the caller as a block of kSmartLogBlockSize bytes. ATA drives
// have no log reading here.
#include <memory>
#include <new>

#include "engine/CSmartFliegendeUntertasse.h"
#include "engine/EngineLock.h"
#include "engine/ScsiCdb.h"

namespace {

constexpr BYTE kLastErrorEvents = 0x07;
constexpr BYTE kSelfTestResults = 0x10;

struct LogKind {
    DWORD flag;
    BYTE page;
};
constexpr LogKind kLogKinds[] = {
    {NODE_ERROR_LOG, kLastErrorEvents},     // SMART_LOG_ERROR
    {NODE_SELFTEST_LOG, kSelfTestResults},  // SMART_LOG_SELFTEST
};

}  // namespace

bool CSmartFliegendeUntertasse::ReadLog(SmartDevice* device, DWORD selector, BYTE** block) {
    if (!device || !block || *block || selector >= std::size(kLogKinds)) return false;
    EngineLock lock(m_lock);
    DeviceNode* node = FindNode(device->engineLink);
    const LogKind& kind = kLogKinds[selector];
    if (!node || !node->HasAll(NODE_SUPPORTED | NODE_ENABLED | NODE_CAPS_READ | kind.flag)) return false;
    if (node->IsAta()) return false;

    std::unique_ptr<BYTE[]> out(new (std::nothrow) BYTE[kSmartLogBlockSize]);
    if (!out || !OpenDevice(node)) return false;
    const bool read = ScsiLogSense(node, scsi::kLogCumulative | kind.page, out.get(), kSmartLogBlockSize);
    CloseDevice(node);
    if (read) *block = out.release();
    return read;
}
