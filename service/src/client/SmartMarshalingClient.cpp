#include "SmartMarshalingClient.h"

#include <algorithm>

#include "marshal/SmartRequestCodes.h"

bool CSmartMarshalingClient::Exchange(const CSmartMarshalMessage& request, CSmartMarshalMessage& response) {
    CZmArchive requestArchive;
    CZmArchive responseArchive;
    requestArchive.Reset();
    if (!request.EncodeMessage(requestArchive)) return false;
    if (!SendRequest(requestArchive, responseArchive)) return false;
    responseArchive.Seek(0, 0);
    return response.DecodeMessage(responseArchive) && response.Code() == SmartResponseCode(request.Code());
}

void CSmartMarshalingClient::Overwrite(SmartDevice* device, const SmartDevice& received) {
    std::lock_guard lock(m_recordLock);
    SmartDevice* const next = device->next;
    void* const engineLink = device->engineLink;
    *device = received;
    device->next = next;
    device->engineLink = engineLink;
    m_gone.erase(device);
}

void CSmartMarshalingClient::MarkGone(SmartDevice* device) {
    std::lock_guard lock(m_recordLock);
    device->flags &= ~DWORD(SMART_FLAG_SUPPORTED);
    m_gone.insert(device);
}

bool CSmartMarshalingClient::IsGone(const SmartDevice& device) const {
    std::lock_guard lock(m_recordLock);
    return m_gone.contains(&device);
}

SmartDevice CSmartMarshalingClient::CopyRecord(const SmartDevice& device) const {
    std::lock_guard lock(m_recordLock);
    return device;
}

bool CSmartMarshalingClient::ListDevices(std::vector<SmartDevice>& devices) {
    CSmartMarshalSmartDeviceList list;
    if (!Exchange(CSmartMarshalVoid(QUIVR_SMART_GET_DEVICES), list) || list.Status() != SMART_STATUS_OK) return false;
    devices = std::move(list.devices);
    return true;
}

SmartDevice* CSmartMarshalingClient::LinkRecords(const std::vector<SmartDevice>& devices) {
    SmartDevice* head = nullptr;
    SmartDevice** tail = &head;
    for (const SmartDevice& received : devices) {
        *tail = new SmartDevice(received);
        tail = &(*tail)->next;
    }
    return head;
}

SmartDevice* CSmartMarshalingClient::GetDevices() {
    std::vector<SmartDevice> devices;
    return ListDevices(devices) ? LinkRecords(devices) : nullptr;
}

bool CSmartMarshalingClient::TakeRecord(SmartDevice* device, DWORD status, const SmartDevice& received) {
    if (status == SMART_STATUS_UNKNOWN_DEVICE) {
        MarkGone(device);
        return false;
    }
    Overwrite(device, received);
    return status == SMART_STATUS_OK;
}

bool CSmartMarshalingClient::RecordRequest(const CSmartMarshalMessage& request, SmartDevice* device) {
    CSmartMarshalSmartDevice response;
    if (!Exchange(request, response)) return false;
    return TakeRecord(device, response.Status(), response.device);
}

bool CSmartMarshalingClient::DeviceRequest(DWORD code, SmartDevice* device) {
    if (!device) return false;
    CSmartMarshalSmartServerId request(code);
    request.serverId = CopyRecord(*device).serverId;
    return RecordRequest(request, device);
}

bool CSmartMarshalingClient::EnableSmart(SmartDevice* d) { return DeviceRequest(QUIVR_SMART_ENABLE, d); }
bool CSmartMarshalingClient::DisableSmart(SmartDevice* d) { return DeviceRequest(QUIVR_SMART_DISABLE, d); }
bool CSmartMarshalingClient::ReadCapabilities(SmartDevice* d) {
    return DeviceRequest(QUIVR_SMART_READ_CAPABILITIES, d);
}
bool CSmartMarshalingClient::ReadAttributes(SmartDevice* d) { return DeviceRequest(QUIVR_SMART_READ_ATTRIBUTES, d); }
bool CSmartMarshalingClient::ReadStatus(SmartDevice* d) { return DeviceRequest(QUIVR_SMART_RETURN_STATUS, d); }
bool CSmartMarshalingClient::EnableAutosave(SmartDevice* d) { return DeviceRequest(QUIVR_SMART_ENABLE_AUTOSAVE, d); }
bool CSmartMarshalingClient::DisableAutosave(SmartDevice* d) {
    return DeviceRequest(QUIVR_SMART_DISABLE_AUTOSAVE, d);
}
bool CSmartMarshalingClient::EnableAutoOffline(SmartDevice* d) {
    return DeviceRequest(QUIVR_SMART_ENABLE_AUTO_OFFLINE, d);
}
bool CSmartMarshalingClient::DisableAutoOffline(SmartDevice* d) {
    return DeviceRequest(QUIVR_SMART_DISABLE_AUTO_OFFLINE, d);
}
bool CSmartMarshalingClient::AbortSelfTest(SmartDevice* d) { return DeviceRequest(QUIVR_SMART_ABORT_SELF_TEST, d); }

bool CSmartMarshalingClient::ReadLog(SmartDevice* device, DWORD selector, BYTE** block) {
    if (!device || !block) return false;
    *block = nullptr;
    CSmartMarshalReadLogRequest request(QUIVR_SMART_READ_LOG);
    request.serverId = CopyRecord(*device).serverId;
    request.selector = selector;
    CSmartMarshalReadLogResponse response;
    if (!Exchange(request, response)) return false;
    if (response.Status() == SMART_STATUS_UNKNOWN_DEVICE) MarkGone(device);
    if (response.Status() != SMART_STATUS_OK) return false;
    *block = new BYTE[kSmartLogBlockSize];
    std::copy(response.data.begin(), response.data.end(), *block);
    return true;
}

bool CSmartMarshalingClient::ExecuteSelfTest(SmartDevice* device, DWORD type) {
    if (!device) return false;
    CSmartMarshalSelfTestRequest request(QUIVR_SMART_EXECUTE_SELF_TEST);
    request.serverId = CopyRecord(*device).serverId;
    request.type = type;
    return RecordRequest(request, device);
}

bool CSmartMarshalingClient::ReadSelfTestData(SmartDevice* device, DWORD* remainingSeconds, BYTE* status) {
    if (!device || !remainingSeconds || !status) return false;
    CSmartMarshalSmartServerId request(QUIVR_SMART_READ_SELF_TEST_DATA);
    request.serverId = CopyRecord(*device).serverId;
    CSmartMarshalTestResult response;
    if (!Exchange(request, response)) return false;
    const bool succeeded = TakeRecord(device, response.Status(), response.device);
    if (response.Status() != SMART_STATUS_UNKNOWN_DEVICE) {
        *remainingSeconds = response.remainingSeconds;
        *status = response.selfTestStatus;
    }
    return succeeded;
}
