// The engine's use of the history store: only the primary engine reads or
// writes it, and only when UseHistory has not turned it off.
#include "engine/CSmartFliegendeUntertasse.h"
#include "engine/HistoryStore.h"

bool CSmartFliegendeUntertasse::SaveHistory(const DeviceNode* first) {
    return m_primary && m_useHistory && history::Save(m_historyKey, first);
}

bool CSmartFliegendeUntertasse::LoadHistory(DeviceNode** head) {
    return m_primary && m_useHistory && history::Load(m_historyKey, head);
}

NTSTATUS CSmartFliegendeUntertasse::ProbeHistory() const { return history::Probe(m_historyKey); }
