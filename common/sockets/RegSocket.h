// CRegSocket: the registration handshake. Right after connecting, the GUI
// sends its registration record (user name and SID) as a request and waits
// for the service's answer: its own record (admitted) or nothing (refused).
#pragma once

#include <memory>

#include "sockets/PacketSocket.h"
#include "sockets/RegistrationRecord.h"

inline constexpr DWORD PERMISSION_LOCALADMINS = 0x1;
inline constexpr DWORD PERMISSION_LOCALUSERS = 0x2;
inline constexpr DWORD PERMISSION_ALLUSERS = 0x4;

class CRegSocket : public CPacketSocket {
public:
    using CPacketSocket::CPacketSocket;
    ~CRegSocket() override;

    // The packet layer's creation, then the own record with the manager's
    // user SID.
    int Create(BOOL use_layered_providers);
    // Sends the registration request and waits up to `timeout_ms` for the
    // answer. 0, or -1 with ERROR_ACCESS_DENIED (empty answer),
    // ERROR_INVALID_DATA (peer too old), ERROR_CANCELLED or WAIT_TIMEOUT.
    int Register(DWORD timeout_ms);
    // Fills the record's user name (DOMAIN\name) from its SID. 1 or 0.
    static BOOL SetUserName(RegistrationRecord* record);
    void DestroyFDCLOSEEvent();
    // Drops the records and the FD_CLOSE event (per-connection resources).
    void ReleaseRegistration();

    DWORD Permission() const { return m_permission; }
    void SetPermission(DWORD mask) { m_permission = mask; }
    const RegistrationRecord* OwnRecord() const { return m_pOwnRecord.get(); }
    const RegistrationRecord* PeerRecord() const { return m_pPeerRecord.get(); }
    HANDLE FdCloseEvent() const { return m_hFdClose; }

protected:
    std::unique_ptr<RegistrationRecord> m_pOwnRecord;
    std::unique_ptr<RegistrationRecord> m_pPeerRecord;
    DWORD m_permission = PERMISSION_ALLUSERS;
    HANDLE m_hFdClose = nullptr;
};
