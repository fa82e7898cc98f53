#include "SmartMarshalingServer.h"

CSmartMarshalingServer::~CSmartMarshalingServer() { m_table.clear(); }

bool CSmartMarshalingServer::Dispatch(CZmArchive& request, CZmArchive& response) {
    response.Reset();
    request.Seek(0, 0);
    DWORD code = kSmartNoCode;
    DWORD unusedStatus = 0;
    CSmartMarshalMessage::ReadHeader(request, code, unusedStatus);
    request.Seek(0, 0);
    if (!IsSmartRequestCode(code)) return Answer(response, code, SMART_STATUS_UNKNOWN_REQUEST);

    const DWORD responseCode = SmartResponseCode(code);
    const std::unique_ptr<CSmartMarshalMessage> decoded = NewRequest(code);
    // An enumeration takes no payload; whatever follows its header is ignored.
    if (code != QUIVR_SMART_GET_DEVICES && !decoded->DecodeMessage(request))
        return Answer(response, responseCode, SMART_STATUS_BAD_REQUEST);

    const std::unique_ptr<CSmartMarshalMessage> answer = Handle(code, *decoded);
    answer->SetCode(responseCode);
    if (!answer->EncodeMessage(response)) {
        response.Reset();
        return Answer(response, responseCode, SMART_STATUS_ENCODE_FAILED);
    }
    response.Seek(0, 0);
    return true;
}

std::unique_ptr<CSmartMarshalMessage> CSmartMarshalingServer::NewRequest(DWORD code) {
    switch (code) {
    case QUIVR_SMART_GET_DEVICES: return std::make_unique<CSmartMarshalVoid>();
    case QUIVR_SMART_READ_LOG: return std::make_unique<CSmartMarshalReadLogRequest>();
    case QUIVR_SMART_EXECUTE_SELF_TEST: return std::make_unique<CSmartMarshalSelfTestRequest>();
    default: return std::make_unique<CSmartMarshalSmartServerId>();
    }
}

std::unique_ptr<CSmartMarshalMessage> CSmartMarshalingServer::Handle(DWORD code, CSmartMarshalMessage& request) {
    switch (code) {
    case QUIVR_SMART_GET_DEVICES: return HandleGetDevices();
    case QUIVR_SMART_READ_LOG: return HandleReadLog(static_cast<CSmartMarshalReadLogRequest&>(request));
    case QUIVR_SMART_EXECUTE_SELF_TEST: return HandleSelfTest(static_cast<CSmartMarshalSelfTestRequest&>(request));
    case QUIVR_SMART_READ_SELF_TEST_DATA:
        return HandleReadSelfTestData(static_cast<CSmartMarshalSmartServerId&>(request).serverId);
    default: return HandleDeviceOperation(code, static_cast<CSmartMarshalSmartServerId&>(request).serverId);
    }
}

bool CSmartMarshalingServer::Answer(CZmArchive& response, DWORD code, DWORD status) {
    CSmartMarshalVoid(code, status).EncodeMessage(response);
    response.Seek(0, 0);
    return false;
}

SmartDevice* CSmartMarshalingServer::Find(SmartServerId id) {
    const auto found = m_table.find(id);
    return found == m_table.end() ? nullptr : found->second.get();
}
