#include "sockets/RegSocket.h"

#include "base/handle.h"
#include "base/sync.h"
#include "base/win_errors.h"
#include "security/accounts.h"
#include "sockets/SocketLog.h"
#include "sockets/SocketManager.h"

namespace {
constexpr DWORD kAccountChars = 100;
}

CRegSocket::~CRegSocket() { DestroyFDCLOSEEvent(); }

int CRegSocket::Create(BOOL use_layered) {
    std::lock_guard lock(m_lock);
    const int result = CBufferSocket::Create(use_layered);
    const DWORD error = GetLastError();
    if (m_pSocketManager)
        m_pOwnRecord = std::make_unique<RegistrationRecord>(
            RegistrationRecord::Make(m_pSocketManager->UserSid(), m_pSocketManager->UserSidLength()));
    SetLastError(error);
    return result;
}

BOOL CRegSocket::SetUserName(RegistrationRecord* record) {
    if (!record) {
        SockTrace("*** error: CRegSocket::SetUserName() data == 0");
        return FALSE;
    }
    WCHAR name[kAccountChars] = {}, domain[kAccountChars] = {};
    DWORD name_chars = kAccountChars, domain_chars = kAccountChars;
    SID_NAME_USE use{};
    std::vector<BYTE> sid = record->Sid();
    record->SetUserName(u"");
    if (sid.empty() ||
        !LookupAccountSidW(nullptr, sid.data(), name, &name_chars, domain, &domain_chars, &use)) {
        SockTrace("*** error: CRegSocket::SetUserName() LookupAccountSid() failed %i",
                  sid.empty() ? ERROR_INVALID_SID : GetLastError());
        return FALSE;
    }
    if (domain_chars + name_chars < kAccountChars)
        record->SetUserName(std::u16string(domain) + u"\\" + name);
    else
        record->SetUserName(name);
    return TRUE;
}

int CRegSocket::Register(DWORD timeout_ms) {
    auto answer = std::make_unique<RegistrationRecord>();
    if (m_pOwnRecord) SetUserName(m_pOwnRecord.get());
    SockTrace("(%s) SENDING REGISTRATION REQUEST(so=%i, delay=%d)\n", m_name, m_hSocket, timeout_ms);
    const RegistrationRecord own = m_pOwnRecord ? *m_pOwnRecord : RegistrationRecord::Make(nullptr, 0);
    DWORD answer_length = 0;
    int result = SendAndWait(own.Bytes(), RegistrationRecord::kSize, answer->Bytes(), RegistrationRecord::kSize,
                             &answer_length, timeout_ms, PACKET_SYS | PACKET_REQUEST | PACKET_REGISTER);
    DWORD error = GetLastError();
    if (result == 0 && answer_length == 0) {
        result = -1;
        error = ERROR_ACCESS_DENIED;
    }
    if (result == 0 && answer_length != RegistrationRecord::kSize) {
        result = -1;
        error = ERROR_INVALID_DATA;  // not a record: treated like a peer too old to understand
    }
    if (result != 0) {
        if (error == ERROR_CANCELLED)
            SockTrace("(%s) REGISTRATION CANCELLED(%i) %i\n", m_name, m_hSocket, error);
        else if (error == ERROR_ACCESS_DENIED)
            SockTrace("(%s) REGISTRATION FAILED(%i) - ACCESS DENIED %i\n", m_name, m_hSocket, error);
        else
            SockTrace("(%s) REGISTRATION FAILED(%i) %i\n", m_name, m_hSocket, error);
    } else if (answer->Version() < own.LowestAccepted()) {
        SockTrace("(%s) REGISTRATION FAILED(%i) - OLD VERSION\n", m_name, m_hSocket);
        result = -1;
        error = ERROR_INVALID_DATA;
    } else {
        SockTrace("(%s) REGISTRATION COMPLETED(%i)\n", m_name, m_hSocket);
        m_pPeerRecord = std::move(answer);
        error = 0;
    }
    m_connectResult = result == 0 ? 0 : error;
    if (m_hWaitOnConnect && !SetEvent(m_hWaitOnConnect))
        SockTrace("*** error: CRegSocket::Register() SetEvent() failed %i", GetLastError());
    SetLastError(error);
    return result;
}

void CRegSocket::DestroyFDCLOSEEvent() {
    if (m_hFdClose) CloseHandle(m_hFdClose);
    m_hFdClose = nullptr;
}

void CRegSocket::ReleaseRegistration() {
    std::lock_guard lock(m_lock);
    DestroyFDCLOSEEvent();
    m_pOwnRecord.reset();
    m_pPeerRecord.reset();
}
