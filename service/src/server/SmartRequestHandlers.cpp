// The handlers of CSmartMarshalingServer, one per request code.
#include "SmartMarshalingServer.h"

#include <algorithm>

namespace {

using Operation = bool (CSmart::*)(SmartDevice*);

// The engine operation of each request code that takes only a server id.
Operation OperationOf(DWORD code) {
    switch (code) {
    case QUIVR_SMART_ENABLE: return &CSmart::EnableSmart;
    case QUIVR_SMART_DISABLE: return &CSmart::DisableSmart;
    case QUIVR_SMART_READ_CAPABILITIES: return &CSmart::ReadCapabilities;
    case QUIVR_SMART_READ_ATTRIBUTES: return &CSmart::ReadAttributes;
    case QUIVR_SMART_RETURN_STATUS: return &CSmart::ReadStatus;
    case QUIVR_SMART_ENABLE_AUTOSAVE: return &CSmart::EnableAutosave;
    case QUIVR_SMART_DISABLE_AUTOSAVE: return &CSmart::DisableAutosave;
    case QUIVR_SMART_ENABLE_AUTO_OFFLINE: return &CSmart::EnableAutoOffline;
    case QUIVR_SMART_DISABLE_AUTO_OFFLINE: return &CSmart::DisableAutoOffline;
    default: return &CSmart::AbortSelfTest;
    }
}

DWORD ResultStatus(bool succeeded) { return succeeded ? SMART_STATUS_OK : SMART_STATUS_OPERATION_FAILED; }

// A copy without the links, which never leave the process.
SmartDevice Unlinked(const SmartDevice& record) {
    SmartDevice copy = record;
    copy.next = nullptr;
    copy.engineLink = nullptr;
    return copy;
}

template <typename Response>
std::unique_ptr<Response> UnknownDevice() {
    return std::make_unique<Response>(0, SMART_STATUS_UNKNOWN_DEVICE);
}

}  // namespace

std::unique_ptr<CSmartMarshalMessage> CSmartMarshalingServer::HandleGetDevices() {
    auto answer = std::make_unique<CSmartMarshalSmartDeviceList>();
    SmartDevice* list = GetDevices();
    if (!list && SelfTestRunning()) {
        answer->SetStatus(SMART_STATUS_OPERATION_FAILED);
        for (const auto& [id, record] : m_table) answer->devices.push_back(Unlinked(*record));
        return answer;
    }
    for (const SmartDevice* d = list; d; d = d->next) answer->devices.push_back(Unlinked(*d));
    ReplaceTable(list);
    return answer;
}

std::unique_ptr<CSmartMarshalMessage> CSmartMarshalingServer::HandleDeviceOperation(DWORD code, SmartServerId id) {
    SmartDevice* record = Find(id);
    if (!record) return UnknownDevice<CSmartMarshalSmartDevice>();
    const bool succeeded = (this->*OperationOf(code))(record);
    auto answer = std::make_unique<CSmartMarshalSmartDevice>(0, ResultStatus(succeeded));
    answer->device = Unlinked(*record);
    return answer;
}

std::unique_ptr<CSmartMarshalMessage> CSmartMarshalingServer::HandleReadLog(const CSmartMarshalReadLogRequest& request) {
    SmartDevice* record = Find(request.serverId);
    if (!record) return UnknownDevice<CSmartMarshalReadLogResponse>();
    BYTE* block = nullptr;
    const bool succeeded = ReadLog(record, request.selector, &block);
    auto answer = std::make_unique<CSmartMarshalReadLogResponse>(0, ResultStatus(succeeded));
    if (block) {
        std::copy_n(block, kSmartLogBlockSize, answer->data.begin());
        delete[] block;
    }
    return answer;
}

std::unique_ptr<CSmartMarshalMessage> CSmartMarshalingServer::HandleSelfTest(const CSmartMarshalSelfTestRequest& request) {
    SmartDevice* record = Find(request.serverId);
    if (!record) return UnknownDevice<CSmartMarshalSmartDevice>();
    const bool succeeded = ExecuteSelfTest(record, request.type);
    auto answer = std::make_unique<CSmartMarshalSmartDevice>(0, ResultStatus(succeeded));
    answer->device = Unlinked(*record);
    return answer;
}

std::unique_ptr<CSmartMarshalMessage> CSmartMarshalingServer::HandleReadSelfTestData(SmartServerId id) {
    SmartDevice* record = Find(id);
    if (!record) return UnknownDevice<CSmartMarshalTestResult>();
    auto answer = std::make_unique<CSmartMarshalTestResult>();
    const bool succeeded = ReadSelfTestData(record, &answer->remainingSeconds, &answer->selfTestStatus);
    answer->SetStatus(ResultStatus(succeeded));
    answer->device = Unlinked(*record);
    return answer;
}

bool CSmartMarshalingServer::SelfTestRunning() {
    for (const auto& [id, record] : m_table) {
        DWORD remaining = 0;
        BYTE status = 0;
        if (ReadSelfTestData(record.get(), &remaining, &status) &&
            SelfTestStatusCode(status) == SMART_TEST_STATUS_RUNNING)
            return true;
    }
    return false;
}

void CSmartMarshalingServer::ReplaceTable(SmartDevice* list) {
    m_table.clear();
    while (list) {
        SmartDevice* next = list->next;
        list->next = nullptr;
        std::unique_ptr<SmartDevice> owned(list);
        m_table.try_emplace(owned->serverId, std::move(owned));
        list = next;
    }
}
