// CSmartMarshalingClient: CSmart as requests to the S.M.A.R.T. service. Each
// operation encodes one request into a fresh archive, hands it to
// SendRequest (left to the derived class, which owns the connection) and
// decodes the answer. Only a response with the expected code (request code
// + 1) that decodes completely is accepted; anything else gives false and
// leaves the outputs alone. An accepted device record overwrites the
// caller's record except its two links, also when the status is not 0 (after
// status 4, unknown server id, the record is zero apart from its links); the
// result is whether the status is 0.
//
// Records are overwritten under a record lock; readers on other threads take
// a consistent copy with CopyRecord (or read under ReadLocked), so they never
// see half of an update.
#pragma once

#include <mutex>

#include "archive/ZmArchive.h"
#include "marshal/SmartMarshalMessages.h"
#include "smart/CSmart.h"

class CSmartMarshalingClient : public CSmart {
public:
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
    ~CSmartMarshalingClient() override = default;

    // Sends the request's bytes and fills `response` with the answer's;
    // false when nothing could be sent.
    virtual bool SendRequest(CZmArchive& request, CZmArchive& response) = 0;

    // A copy of `device` that no update is half-way through.
    SmartDevice CopyRecord(const SmartDevice& device) const;
    // Runs `read` on the record with updates held off.
    template <typename Read>
    auto ReadLocked(const SmartDevice& device, Read read) const {
        std::lock_guard lock(m_recordLock);
        return read(device);
    }

private:
    // Sends `request`; true when `response` decoded with the request's
    // code + 1.
    bool Exchange(const CSmartMarshalMessage& request, CSmartMarshalMessage& response);
    // A request answered by a device record, which overwrites `device`.
    bool RecordRequest(const CSmartMarshalMessage& request, SmartDevice* device);
    bool DeviceRequest(DWORD code, SmartDevice* device);
    void Overwrite(SmartDevice* device, const SmartDevice& received);

    mutable std::mutex m_recordLock;
};
