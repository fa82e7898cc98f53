// CSmartMarshalingClient: CSmart as requests to the S.M.A.R.T. service. Each
// operation encodes one request into a fresh archive, hands it to
// SendRequest (left to the derived class, which owns the connection) and
// decodes the answer. Only a response with the expected code (request code
// + 1) that decodes completely is accepted; anything else gives false and
// leaves the outputs alone. An accepted device record overwrites the
// caller's record except its two links, also when the status is not 0; the
// result is whether the status is 0.
//
// Status 4 (the service knows no drive under the record's id) is the one
// exception: its zero record would read as a failing drive (health 0), so
// the caller's record keeps its values and only loses SMART_FLAG_SUPPORTED,
// which marks a drive that is gone until a later listing finds it again
// (MatchRecords).
//
// Records are overwritten under a record lock; readers on other threads take
// a consistent copy with CopyRecord (or read under ReadLocked), so they never
// see half of an update.
#pragma once

#include <cstddef>
#include <mutex>
#include <set>
#include <vector>

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
    // Whether `device` names a drive the service has lost (see above).
    bool IsGone(const SmartDevice& device) const;

    // Whether two records name the same drive, also across a restart of the
    // service, whose ids are new: device type, device number and serial.
    static bool SameDrive(const SmartDevice& a, const SmartDevice& b);
    // Matches the records of the list `held` to the `listed` ones of the
    // same drive and overwrites each matched record in place, links kept; a
    // record without a match keeps its values and is marked gone. Returns
    // the number matched.
    std::size_t MatchRecords(SmartDevice* held, const std::vector<SmartDevice>& listed);

protected:
    // The records of an enumeration (code 0); false when it failed, also
    // for an answer with a status other than 0.
    bool ListDevices(std::vector<SmartDevice>& devices);
    // Copies of `devices` linked as a list (nullptr when empty), for
    // FreeSmartDeviceList.
    static SmartDevice* LinkRecords(const std::vector<SmartDevice>& devices);
    // Overwrites `device` with `received`, keeping the two links.
    void Overwrite(SmartDevice* device, const SmartDevice& received);
    void MarkGone(SmartDevice* device);

private:
    // Sends `request`; true when `response` decoded with the request's
    // code + 1.
    bool Exchange(const CSmartMarshalMessage& request, CSmartMarshalMessage& response);
    // A request answered by a device record, which overwrites `device`.
    bool RecordRequest(const CSmartMarshalMessage& request, SmartDevice* device);
    bool DeviceRequest(DWORD code, SmartDevice* device);
    // Takes an accepted answer about `device`: status 4 marks it gone,
    // any other status overwrites it. True for status 0.
    bool TakeRecord(SmartDevice* device, DWORD status, const SmartDevice& received);

    mutable std::mutex m_recordLock;            // guards the records' contents and m_gone
    std::set<const SmartDevice*> m_gone;        // records marked gone
};
