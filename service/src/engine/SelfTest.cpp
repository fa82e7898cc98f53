// Self-tests: starting one, following it to its result and aborting it.
//
// The engine does not follow a test by asking the drive all the time. It
// takes the duration the drive announced (the node's test times), counts the
// remaining seconds from the start time, and reads the drive only at chosen
// moments: every 10 seconds for an ATA self-test on a drive that keeps
// testing while it receives commands, and at the expected end for every
// drive. A drive that stops testing on a new command is left alone until
// then. While a test runs its node is busy: the handle stays open and every
// other operation on the drive, and GetDevices, refuses to run.
#include "engine/CSmartFliegendeUntertasse.h"

#include <iterator>

#include "base/clock.h"
#include "engine/BigEndian.h"
#include "engine/EngineLock.h"
#include "engine/LogPage.h"
#include "engine/ScsiCdb.h"

namespace {

// What each test type needs and sends, and which test time it lasts.
struct TestKind {
    DWORD flag;
    BYTE scsiByte1;  // SEND DIAGNOSTIC byte 1; the ATA subcommand is the type
    WORD DeviceNode::*duration;
};
constexpr TestKind kTestKinds[] = {
    {NODE_OFFLINE_COLLECT, 0x14, &DeviceNode::collectTime},     // default self-test
    {NODE_SELFTEST, 0x30, &DeviceNode::shortTestTime},          // background short
    {NODE_SELFTEST, 0x50, &DeviceNode::extendedTestTime},       // background extended
    {NODE_CONVEYANCE, 0x00, &DeviceNode::conveyanceTestTime},
};

constexpr DWORD kReadyFlags = NODE_SUPPORTED | NODE_ENABLED | NODE_CAPS_READ;
constexpr BYTE kExecuteOfflineImmediate = 0xD4;
constexpr BYTE kAtaAbort = 0x7F;
constexpr BYTE kScsiAbort = 0x90;  // abort background self-test
constexpr std::size_t kOfflineStatusByte = 362;
constexpr std::size_t kSelfTestStatusByte = 363;
constexpr BYTE kInProgressMarker = 0xF0;
constexpr BYTE kRunning = SMART_TEST_STATUS_RUNNING;
constexpr std::uint64_t kPollSeconds = 10;
constexpr WORD kResultPageAllocation = 200;

// The drive's byte 363 has the status high and the tenths low; callers get
// them the other way round.
BYTE ExchangeNibbles(BYTE b) { return static_cast<BYTE>((b << 4) | (b >> 4)); }

// The status of an off-line data collection from byte 362 (bit 7 is the
// automatic collection switch). Values without a self-test meaning (0, never
// started; vendor-specific values) are passed on as they are.
BYTE CollectionStatus(BYTE offlineStatus) {
    switch (offlineStatus & 0x7F) {
        case 1: case 2: return SMART_TEST_STATUS_COMPLETED;
        case 3: return kRunning;
        case 4: case 5: return SMART_TEST_STATUS_ABORTED;
        case 6: return SMART_TEST_STATUS_UNKNOWN_FAILURE;
        default: return offlineStatus & 0x7F;
    }
}

bool IsRunning(BYTE status) { return SelfTestStatusCode(status) == kRunning; }

std::uint64_t Seconds(std::uint64_t filetimeUnits) { return filetimeUnits / plat::kFileTimePerSecond; }

}  // namespace

DeviceNode* CSmartFliegendeUntertasse::FindTestingNode(const void* engineLink) const {
    if (!m_primary || !engineLink) return nullptr;
    for (DeviceNode* n = m_nodes; n; n = n->next) {
        if (n == engineLink) return n->IsBusy() ? n : nullptr;
    }
    return nullptr;
}

bool CSmartFliegendeUntertasse::SendScsiDiagnostic(DeviceNode* node, BYTE byte1) {
    PassThroughBlock block =
        MakePassThrough(ScsiCdb{scsi::kSendDiagnostic, byte1, 0, 0, 0, 0}, SCSI_IOCTL_DATA_UNSPECIFIED, nullptr, 0);
    return ScsiCommand(node, &block);
}

bool CSmartFliegendeUntertasse::ExecuteSelfTest(SmartDevice* device, DWORD type) {
    if (!device || type >= std::size(kTestKinds)) return false;
    EngineLock lock(m_lock);
    DeviceNode* node = FindNode(device->engineLink);
    const TestKind& kind = kTestKinds[type];
    if (!node || !node->HasAll(kReadyFlags | kind.flag)) return false;
    node->selfTestType = type;
    if (!OpenDevice(node)) return false;
    const bool started = node->IsAta()
                             ? SendSmartCommand(node, SMART_CMD, kExecuteOfflineImmediate, 0, static_cast<BYTE>(type))
                             : SendScsiDiagnostic(node, kind.scsiByte1);
    if (!started) {
        CloseDevice(node);
        return false;
    }
    node->selfTestStart = plat::U64ToFileTime(plat::CurrentClock().NowFileTime());
    node->smartData[kSelfTestStatusByte] = kInProgressMarker;
    return true;
}

bool CSmartFliegendeUntertasse::ReadSelfTestData(SmartDevice* device, DWORD* remainingSeconds, BYTE* status) {
    if (!m_primary || !device || !remainingSeconds || !status) return false;
    EngineLock lock(m_lock);
    DeviceNode* node = FindTestingNode(device->engineLink);
    if (!node || node->selfTestType >= std::size(kTestKinds)) return false;
    const std::uint64_t start = plat::FileTimeToU64(node->selfTestStart);
    const std::uint64_t now = plat::CurrentClock().NowFileTime();
    // A clock set back before the start counts as no time elapsed.
    const std::uint64_t elapsed = now > start ? Seconds(now - start) : 0;
    const std::uint64_t expected = node->*kTestKinds[node->selfTestType].duration;

    if (elapsed < expected) {
        *remainingSeconds = static_cast<DWORD>(expected - elapsed);
        if (!PollRunningTest(node, elapsed, status)) return false;
    } else {
        *remainingSeconds = 0;
        if (!ReadTestResult(node, device, status)) return false;
        if (IsRunning(*status)) {
            // Still testing after the announced time: look again in 10 s.
            *remainingSeconds = kPollSeconds;
            node->selfTestStart = plat::U64ToFileTime(start + kPollSeconds * plat::kFileTimePerSecond);
        }
    }
    if (!IsRunning(*status)) {
        *remainingSeconds = 0;
        CloseDevice(node);
        node->selfTestStart = FILETIME{};
    }
    return true;
}

// Before the expected end: the node's status, read afresh from an ATA drive
// that keeps testing under commands at every 10th second of a self-test.
// Byte 363 tells nothing about off-line collection once the drive has been
// read (it is the last self-test's status then), so a collection counts as
// running until its expected end.
bool CSmartFliegendeUntertasse::PollRunningTest(DeviceNode* node, std::uint64_t elapsed, BYTE* status) {
    if (node->selfTestType == SMART_TEST_OFFLINE_COLLECT) {
        *status = kRunning;
        return true;
    }
    *status = ExchangeNibbles(node->smartData[kSelfTestStatusByte]);
    const bool readDrive = !(node->flags & NODE_ABORT_ON_COMMAND) && elapsed % kPollSeconds == 0 && node->IsAta();
    if (!readDrive) return true;
    node->countersStamp = FILETIME{};
    if (!RefreshValues(node)) return false;
    *status = ExchangeNibbles(node->smartData[kSelfTestStatusByte]);
    return true;
}

// At or after the expected end: the result as the drive reports it.
bool CSmartFliegendeUntertasse::ReadTestResult(DeviceNode* node, SmartDevice* record, BYTE* status) {
    if (!node->IsAta()) return ReadScsiTestResult(node, record, status);
    node->countersStamp = FILETIME{};
    if (!RefreshValues(node)) {
        *status = ExchangeNibbles(node->smartData[kSelfTestStatusByte]);
        return false;
    }
    *status = node->selfTestType == SMART_TEST_OFFLINE_COLLECT
                  ? CollectionStatus(node->smartData[kOfflineStatusByte])
                  : ExchangeNibbles(node->smartData[kSelfTestStatusByte]);
    return true;
}

// The newest entry of the self-test results page. A page without entries
// reads as still running: no result is never reported as success.
bool CSmartFliegendeUntertasse::ReadScsiTestResult(DeviceNode* node, SmartDevice* record, BYTE* status) {
    *status = kRunning;
    BYTE page[kResultPageAllocation];
    if (!ScsiLogSense(node, scsi::kLogCumulative | log_page::kSelfTestResults, page, kResultPageAllocation)) {
        return false;
    }
    const BYTE parameterLength = page[7];
    if (BigEndian16(page + 2) < 5 || BigEndian16(page + 4) != 0x0001 || parameterLength == 0) return true;
    *status = page[8] & 0x0F;
    if ((node->flags & NODE_POWER_ON_FROM_SELFTEST) && !IsRunning(*status) && parameterLength >= 4) {
        node->counters.powerOnHours = BigEndian16(page + 10);
        record->counters.powerOnHours = node->counters.powerOnHours;
    }
    return true;
}

bool CSmartFliegendeUntertasse::AbortSelfTest(SmartDevice* device) {
    if (!m_primary || !device) return false;
    EngineLock lock(m_lock);
    DeviceNode* node = FindTestingNode(device->engineLink);
    return node && AbortRunningTest(node);
}

bool CSmartFliegendeUntertasse::AbortRunningTest(DeviceNode* node) {
    const bool aborted = node->IsAta() ? SendSmartCommand(node, SMART_CMD, kExecuteOfflineImmediate, 0, kAtaAbort)
                                       : SendScsiDiagnostic(node, kScsiAbort);
    if (!aborted) return false;
    CloseDevice(node);
    node->selfTestStart = FILETIME{};
    return true;
}
