// CSmartHandler: the client's way to the S.M.A.R.T. service. It is both the
// CSmart interface (CSmartMarshalingClient: every operation a request) and a
// CSocketManager holding one connection to the service on this machine.
//
// Initialize connects, lists the drives and prepares every drive whose
// S.M.A.R.T. is supported (enable, read capabilities and attributes),
// writing what it finds to the log at level 4; the prepared drives form the
// device vector (GetDeviceCount, GetDevice). The records stay at the same
// addresses for the handler's life; read them from other threads through
// CopyRecord or ReadLocked.
//
// Requests go one at a time: SendRequest holds the request lock for the
// send and the wait for the answer, which the message thread hands over in
// OnMsg. There is no reconnection: after the connection breaks every request
// fails (the send fails, or OnError or the close wakes the waiting request
// with an empty response) and the records keep their last values.
#pragma once

#include <mutex>
#include <vector>

#include "SmartMarshalingClient.h"
#include "log/Log.h"
#include "sockets/SocketManager.h"

class CSmartHandler : public CSmartMarshalingClient, public CSocketManager {
public:
    // The service's port on the loopback interface is SmartServicePort()
    // unless given. `log` (may be null) receives Initialize's report.
    explicit CSmartHandler(CLog* log = nullptr);
    CSmartHandler(CLog* log, WORD port);
    ~CSmartHandler() override;

    // Always 0; the outcome shows in the device count.
    int Initialize();
    int GetDeviceCount() const { return m_deviceCount; }
    // The index-th prepared record, or nullptr beyond the vector.
    SmartDevice* GetDevice(int index) const;
    // Every record of the list, prepared or not (nullptr when none).
    SmartDevice* DeviceList() const { return m_pDeviceList; }
    bool IsConnected() const { return m_pConnection != nullptr; }
    WORD Port() const { return m_port; }
    // ReadStatus and ReadAttributes of every prepared drive; the result of
    // the last ReadAttributes, 0 without devices.
    int RefreshSmartStatus();

    bool SendRequest(CZmArchive& request, CZmArchive& response) override;

    void OnEvent(CEncryptSocket* socket, long code) override;
    void OnMsg(CEncryptSocket* socket, BYTE* payload, DWORD length, ReplyContext* context, DWORD flags) override;
    void OnError(CEncryptSocket* socket, DWORD error, long event_bit, const char* text) override;

private:
    bool Connect();
    // Initialize's report and preparation of one record; true when the
    // record joins the device vector.
    void LogIdentity(const SmartDevice& device);
    bool Prepare(SmartDevice* device);
    void LogValues(const SmartDevice& device);
    // Wakes the request waiting for an answer, if any.
    void WakeRequest();

    CLog* m_log;
    WORD m_port;
    bool m_libraryStarted = false;
    CEncryptSocket* m_pConnection = nullptr;
    SmartDevice* m_pDeviceList = nullptr;
    int m_deviceCount = 0;
    std::vector<SmartDevice*> m_devices;
    HANDLE m_hResponseEvent = nullptr;
    std::mutex m_pendingLock;               // guards m_pPendingResponse
    CZmArchive* m_pPendingResponse = nullptr;
    std::recursive_mutex m_requestLock;     // one request and its wait at a time
};
