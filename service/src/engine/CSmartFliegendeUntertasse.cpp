// The engine object: its primary flag, node list and lock, FindNode and
// FillRecord.
#include "engine/CSmartFliegendeUntertasse.h"

#include <algorithm>

#include "base/text.h"
#include "engine/AttributeCatalogue.h"
#include "engine/EngineLock.h"
#include "engine/HistoryStore.h"

namespace {

// Engines alive in the process; the one made while it was 0 is primary.
volatile LONG g_engineCount = 0;

// Copies `chars` characters of an untrimmed node field into a record field
// of chars + 1, without leading and then trailing blanks, terminated.
void CopyTrimmed(WCHAR* dest, const WCHAR* source, std::size_t chars) {
    std::u16string_view text = plat::FieldView(source, chars);
    const std::size_t first = text.find_first_not_of(u' ');
    text = first == text.npos ? std::u16string_view() : text.substr(first);
    const std::size_t last = text.find_last_not_of(u' ');
    text = last == text.npos ? std::u16string_view() : text.substr(0, last + 1);
    std::fill(dest, dest + chars + 1, u'\0');
    std::copy(text.begin(), text.end(), dest);
}

}  // namespace

CSmartFliegendeUntertasse::CSmartFliegendeUntertasse() {
    InitializeCriticalSection(&m_lock);
    m_primary = InterlockedIncrement(&g_engineCount) == 1;
    plat::CopyToField(m_historyKey, 256, history::kHistoryKey);
}

CSmartFliegendeUntertasse::~CSmartFliegendeUntertasse() {
    {
        EngineLock lock(m_lock);
        InterlockedDecrement(&g_engineCount);
        if (m_primary) {
            // A test still running is stopped first, so the drive is not left
            // testing with nobody to follow it; then the nodes are stored.
            for (DeviceNode* n = m_nodes; n; n = n->next) {
                if (n->IsBusy()) AbortRunningTest(n);
            }
            SaveHistory(m_nodes);
        }
        FreeNodes();
    }
    DeleteCriticalSection(&m_lock);
}

void CSmartFliegendeUntertasse::FreeNodes() {
    while (m_nodes) {
        DeviceNode* next = m_nodes->next;
        if (m_nodes->handle) CloseDevice(m_nodes);
        delete m_nodes;
        m_nodes = next;
    }
}

DeviceNode* CSmartFliegendeUntertasse::FindNode(const void* engineLink) const {
    if (!m_primary || !engineLink) return nullptr;
    for (DeviceNode* n = m_nodes; n; n = n->next) {
        if (n == engineLink) return n->IsBusy() ? nullptr : n;
    }
    return nullptr;
}

void CSmartFliegendeUntertasse::FillRecord(SmartDevice* record, const DeviceNode* node) {
    record->deviceType = node->deviceType;
    record->deviceNumber = node->deviceNumber;
    CopyTrimmed(record->model, node->model, kModelChars - 1);
    CopyTrimmed(record->firmware, node->firmware, kFirmwareChars - 1);
    CopyTrimmed(record->serial, node->serial, kSerialChars - 1);
    record->port = node->port;
    record->path = node->path;
    record->target = node->target;
    record->lun = node->lun;
    record->ataLevel = node->ataLevel;
    record->collectTime = node->collectTime;
    record->shortTestTime = node->shortTestTime;
    record->extendedTestTime = node->extendedTestTime;
    record->conveyanceTestTime = node->conveyanceTestTime;
    record->health = node->health;
    record->flags = NodeFlagsToDeviceFlags(node->flags);
    FillAttributes(*record, *node);
}
