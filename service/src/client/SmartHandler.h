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
// send and the wait for the answer, which OnMsg hands over; the manager
// delivers answers on its Event thread right after the receive
// (SetDeliverOnEventThread), so an answer passes no other thread. A request
// fails at once while there is no connection, and a waiting one is
// released when the connection closes. An answer is waited for
// kAnswerTimeoutMs at most: the slowest the service gives legitimately is a
// discovery, which spins up sleeping disks (seconds each) and may meet a
// drive that takes the device layer's whole 60-second command limit, and a
// request can also wait behind other clients' requests. A service that has
// not answered by then is taken for hung: the request fails and the
// connection is treated as broken, so the link connects again (without the
// limit, the keep-alive would end the wait only after 610 s).
//
// Reconnection. When the connection breaks (the service stopped, restarted
// or stopped answering), the link thread connects again in the background,
// first after kFirstRetryMs and then after pauses that double up to
// kMaxRetryMs. Once registered it lists the drives and matches them to the
// records it holds (MatchRecords: device type, number and serial),
// preparing them again and reading their health first, so a record never
// reads health 0 in between, and overwrites them in place; a drive not
// listed any more keeps its last values and is marked gone (IsGone, and
// SMART_FLAG_SUPPORTED cleared) until a later listing finds it. Only then do
// requests go out again, so none carries an id of the old service.
// RefreshSmartStatus lists the drives again while a record is marked gone,
// so a drive that comes back is followed again; since each listing is a
// full discovery in the service, which holds up its other clients, these
// listings are spaced like the reconnections (the first at once, then after
// pauses from kFirstRetryMs doubling up to kMaxRetryMs).
//
// The device vector is made once, by the first listing that succeeds: in
// Initialize, or, when Initialize did not reach the service (it was not
// running yet, or restarting), by the link's first connection, which then
// prepares the drives as Initialize would. The link callback's first true
// tells the owner that the vector is there. After that the vector never
// changes: its owners hold its records (the LED window lays its rows out
// from it at start and would need a relayout for more), so a drive first
// seen by a later listing joins at the next start of the client.
//
// Threads: the request and query operations are safe from any thread;
// Initialize and the destructor belong to the owner's thread. The link
// callback runs on the link thread. Lock order: the request lock, then the
// connecting lock and the record lock (each taken alone after the request
// lock); the socket manager's locks come after all of them.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "SmartMarshalingClient.h"
#include "log/Log.h"
#include "sockets/SocketManager.h"

class CSmartHandler : public CSmartMarshalingClient, public CSocketManager {
public:
    static constexpr DWORD kFirstRetryMs = 1000;
    static constexpr DWORD kMaxRetryMs = 60000;
    static constexpr DWORD kAnswerTimeoutMs = 120000;

    // Told true once a reconnection has brought the records up to date (or
    // made them), and false when the connection breaks or, first, when
    // Initialize did not reach the service. Runs on the link thread.
    using LinkCallback = std::function<void(bool connected)>;

    // The service's port on the loopback interface is SmartServicePort()
    // unless given. `log` (may be null) receives Initialize's report.
    explicit CSmartHandler(CLog* log = nullptr);
    CSmartHandler(CLog* log, WORD port);
    ~CSmartHandler() override;

    // Always 0; the outcome shows in the device count and IsConnected.
    int Initialize();
    int GetDeviceCount() const { return m_deviceCount.load(std::memory_order_acquire); }
    // The index-th prepared record, or nullptr beyond the vector.
    SmartDevice* GetDevice(int index) const;
    // Every record of the list, prepared or not (nullptr when none).
    SmartDevice* DeviceList() const { return m_pDeviceList.load(); }
    // Connected, and the records are those of the service now running.
    bool IsConnected() const { return m_online.load(); }
    WORD Port() const { return m_port; }
    // Set before Initialize.
    void SetLinkCallback(LinkCallback callback) { m_linkCallback = std::move(callback); }
    // ReadStatus and ReadAttributes of every prepared drive that is not
    // gone, after a listing when one is due (see above); the result of the
    // last ReadAttributes, 0 without devices.
    int RefreshSmartStatus();

    bool SendRequest(CZmArchive& request, CZmArchive& response) override;

    void OnEvent(CEncryptSocket* socket, long code) override;
    void OnMsg(CEncryptSocket* socket, BYTE* payload, DWORD length, ReplyContext* context, DWORD flags) override;
    void OnError(CEncryptSocket* socket, DWORD error, long event_bit, const char* text) override;

private:
    // A registered connection to the service, or nullptr; the link thread
    // can cancel it meanwhile.
    CEncryptSocket* Connect();
    // Makes `socket` the connection requests go out on.
    void Install(CEncryptSocket* socket);
    // Takes the broken connection out; it is freed with the handler.
    void Disconnect();
    // The first listing: the records, their report and the device vector
    // (request lock held); false when the listing failed.
    bool MakeDeviceVector();
    // The report and preparation of one record; true when the record joins
    // the device vector.
    void LogIdentity(const SmartDevice& device);
    bool Prepare(SmartDevice* device);
    void LogValues(const SmartDevice& device);
    // Lists the drives and matches them to the records, or makes the device
    // vector when it is not made yet (request lock held); false when the
    // listing failed.
    bool Resync();
    // Resync while a record is marked gone, when its pause has passed.
    void FollowGoneDrives();
    // The device vector once it is published (empty before: the link
    // thread may be making it).
    std::span<SmartDevice* const> Devices() const {
        const int count = GetDeviceCount();
        if (count == 0) return {};
        return {m_devices.data(), static_cast<std::size_t>(count)};
    }
    // Whether a record of the device vector names the drive of `listed`.
    bool IsHeld(const SmartDevice& listed) const;
    bool AnyGone() const;
    // The connection is closed or does not answer: requests fail from now
    // on and the link thread connects again.
    void MarkBroken();
    // Wakes the request waiting for an answer, if any.
    void WakeRequest();
    bool IsCurrent(const CEncryptSocket* socket) const { return socket && socket == m_pConnection.load(); }

    // The link thread (SmartHandlerLink.cpp).
    void StartLink();
    void StopLink();
    void LinkRoutine();
    // Connects and resyncs; true when the records are up to date again.
    bool Reconnect();
    void Notify(bool connected);

    CLog* m_log;
    WORD m_port;
    bool m_libraryStarted = false;
    std::atomic<CEncryptSocket*> m_pConnection{nullptr};  // written under m_requestLock
    std::atomic<bool> m_broken{false};   // the current connection has closed
    std::atomic<bool> m_online{false};
    std::atomic<bool> m_stopping{false};
    std::vector<CEncryptSocket*> m_closed;  // broken connections, freed after Shutdown
    // Written once, under the request lock, before the count publishes them.
    std::atomic<SmartDevice*> m_pDeviceList{nullptr};
    std::vector<SmartDevice*> m_devices;
    std::atomic<int> m_deviceCount{0};
    bool m_listed = false;                  // under the request lock: the vector is made
    DWORD m_resyncPause = 0;                // under the request lock: 0 while no record is gone
    ULONGLONG m_nextResyncTick = 0;
    HANDLE m_hResponseEvent = nullptr;
    // The response the request waiting now is to get; whoever takes it out
    // (an answer, or a close or error) wakes the request.
    std::atomic<CZmArchive*> m_pPendingResponse{nullptr};
    std::recursive_mutex m_requestLock;     // one request and its wait at a time
    std::mutex m_connectingLock;            // guards m_pConnecting
    CEncryptSocket* m_pConnecting = nullptr;
    HANDLE m_hLinkStop = nullptr;           // manual-reset: the handler ends
    HANDLE m_hBroken = nullptr;             // auto-reset: the connection closed
    LinkCallback m_linkCallback;
    std::thread m_link;
};
