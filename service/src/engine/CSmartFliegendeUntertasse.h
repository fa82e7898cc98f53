// The S.M.A.R.T. engine: CSmart on the drives of this machine. It finds the
// drives (GetDevices), reaches ATA drives through the disk driver's
// S.M.A.R.T. requests and every other drive through SCSI pass-through, and
// keeps one DeviceNode per drive.
//
// Threads: every public operation may be called from any thread. One lock
// (m_lock, a recursive critical section) serialises all operations and all
// drive I/O of the process, pending-request waits included; it is the only
// lock the engine takes.
//
// Only the first engine made in a process is primary; every operation of any
// other engine fails or returns none, so two engines never talk to the same
// drives at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/sync.h"
#include "engine/DeviceNode.h"
#include "engine/PassThrough.h"
#include "smart/CSmart.h"

class CSmartFliegendeUntertasse : public CSmart {
public:
    CSmartFliegendeUntertasse();
    ~CSmartFliegendeUntertasse() override;
    CSmartFliegendeUntertasse(const CSmartFliegendeUntertasse&) = delete;
    CSmartFliegendeUntertasse& operator=(const CSmartFliegendeUntertasse&) = delete;

    SmartDevice* GetDevices() override;
    bool EnableSmart(SmartDevice* device) override;
    bool DisableSmart(SmartDevice* device) override;
    bool ReadCapabilities(SmartDevice* device) override;
    bool ReadAttributes(SmartDevice* device) override;
    bool ReadStatus(SmartDevice* device) override;
    bool EnableAutosave(SmartDevice* device) override;
    bool DisableAutosave(SmartDevice* device) override;
    bool EnableAutoOffline(SmartDevice* device) override;
    bool DisableAutoOffline(SmartDevice* device) override;
    bool ReadLog(SmartDevice* device, DWORD selector, BYTE** block) override;
    bool ExecuteSelfTest(SmartDevice* device, DWORD type) override;
    bool ReadSelfTestData(SmartDevice* device, DWORD* remainingSeconds, BYTE* status) override;
    bool AbortSelfTest(SmartDevice* device) override;

    bool IsPrimary() const { return m_primary; }
    // The registry key of the history, relative to HKEY_LOCAL_MACHINE.
    std::u16string_view HistoryKey() const { return m_historyKey; }
    // STATUS_SUCCESS when the history can be kept below HistoryKey(), else
    // why not (history::Probe); creates the key when only it is missing.
    NTSTATUS ProbeHistory() const;

    // Whether this engine reads the stored nodes at its first GetDevices and
    // stores its nodes when it ends (the default). Tools that only look at
    // the drives turn it off so they leave the service's history alone.
    void UseHistory(bool use) { m_useHistory = use; }

    // Helpers shared with the history and self-test code; call with m_lock held.
    bool RefreshValues(DeviceNode* node);
    static void FillRecord(SmartDevice* record, const DeviceNode* node);

protected:
    // Drive access primitives. All fail when the engine is not primary.
    bool OpenDevice(DeviceNode* node);
    bool CloseDevice(DeviceNode* node);
    bool SendSmartCommand(DeviceNode* node, BYTE command, BYTE feature, BYTE sectorCount, BYTE sectorNumber);
    bool ReceiveSmartData(DeviceNode* node, BYTE* buffer, DWORD length, BYTE command, BYTE feature,
                          BYTE sectorCount, BYTE sectorNumber);
    bool ScsiCommand(DeviceNode* node, PassThroughBlock* block);

    // The node a record names, or nullptr when it is unknown or busy.
    DeviceNode* FindNode(const void* engineLink) const;
    // The node list in discovery order, for the history and self-test code.
    DeviceNode* FirstNode() const { return m_nodes; }

private:
    // One switching operation of the table in SmartSwitching.cpp.
    struct Switch;
    bool RunSwitch(SmartDevice* device, const Switch& sw);
    // Writes the informational-exceptions page with the wanted switches;
    // reporting on request (method 6) by default when exceptions are on.
    bool WriteExceptionsPage(DeviceNode* node, bool enabled, bool logErrors, bool background);
    bool WriteExceptionsPage(DeviceNode* node, bool enabled, bool logErrors, bool background, bool reportOnRequest);

    bool ReadAtaCapabilities(DeviceNode* node);
    void ReadScsiCapabilities(DeviceNode* node);
    bool RefreshAtaValues(DeviceNode* node);
    bool RefreshScsiValues(DeviceNode* node);
    bool ReadAtaHealth(DeviceNode* node);
    bool ReadScsiHealth(DeviceNode* node);
    bool ScsiLogSense(DeviceNode* node, BYTE pageControlAndCode, BYTE* buffer, WORD allocation,
                      DWORD* transferred = nullptr);

    DeviceNode* ProbeDevice(std::u16string_view name, DWORD number);
    bool ProbeAta(DeviceNode* node);
    bool ProbeScsi(DeviceNode* node);
    DeviceNode* FindKnownNode(const DeviceNode& probed) const;
    void ReapplyAtaState(DeviceNode* known);
    void ReapplyScsiState(DeviceNode* known);
    void AdoptKnownNode(DeviceNode* known, DeviceNode* probed);

    // Identity queries of ProbeDevice (DeviceQueries.cpp).
    static std::u16string FollowSymbolicLinks(std::u16string_view name);
    bool ReadDeviceInformation(DeviceNode* node);  // false: the device is dropped
    void ReadScsiAddress(DeviceNode* node);
    void ReadSmartVersion(DeviceNode* node);
    void FreeNodes();

    // The history (HistoryStore.h) of the primary engine.
    bool SaveHistory(const DeviceNode* first);
    bool LoadHistory(DeviceNode** head);

    // Self-tests (SelfTest.cpp). The node of a record with a test running.
    DeviceNode* FindTestingNode(const void* engineLink) const;
    bool AbortRunningTest(DeviceNode* node);
    bool PollRunningTest(DeviceNode* node, std::uint64_t elapsed, BYTE* status);
    bool ReadTestResult(DeviceNode* node, SmartDevice* record, BYTE* status);
    bool ReadScsiTestResult(DeviceNode* node, SmartDevice* record, BYTE* status);
    bool SendScsiDiagnostic(DeviceNode* node, BYTE byte1);

    // NT status of a device request, after waiting for a pending one.
    NTSTATUS DeviceControl(DeviceNode* node, DWORD code, const void* in, DWORD inLength, void* out,
                           DWORD outLength, ULONG_PTR* returned);

    bool m_primary = false;
    bool m_useHistory = true;
    WCHAR m_historyKey[256] = {};
    DeviceNode* m_nodes = nullptr;  // discovery order
    mutable CRITICAL_SECTION m_lock;
};
