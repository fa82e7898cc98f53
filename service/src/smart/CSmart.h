// The one interface through which everything reaches S.M.A.R.T. data. The
// service's engine talks to the drives; the GUI's proxy forwards each
// operation to the service. The virtual slots keep this order: 0 GetDevices,
// 1 to 13 the operations below, 14 the destructor.
//
// Every operation but GetDevices takes a record an earlier GetDevices
// returned, writes what it learns into it and returns true on success. A
// missing or unknown record, a drive busy with a self-test (for all but
// ReadSelfTestData and AbortSelfTest) or a drive that cannot be opened gives
// false.
#pragma once

#include "smart/SmartRecords.h"

class CSmart {
public:
    // Finds all drives: one record per drive, linked through next. The caller
    // owns the list (FreeSmartDeviceList). nullptr when busy or nothing found.
    virtual SmartDevice* GetDevices() = 0;
    virtual bool EnableSmart(SmartDevice* device) = 0;
    virtual bool DisableSmart(SmartDevice* device) = 0;
    // Fills the whole record; false when the capabilities were read before.
    virtual bool ReadCapabilities(SmartDevice* device) = 0;
    virtual bool ReadAttributes(SmartDevice* device) = 0;
    virtual bool ReadStatus(SmartDevice* device) = 0;
    virtual bool EnableAutosave(SmartDevice* device) = 0;
    virtual bool DisableAutosave(SmartDevice* device) = 0;
    virtual bool EnableAutoOffline(SmartDevice* device) = 0;
    virtual bool DisableAutoOffline(SmartDevice* device) = 0;
    // Hands out a new block of kSmartLogBlockSize bytes (delete[] by the
    // caller). *block must be nullptr on entry.
    virtual bool ReadLog(SmartDevice* device, DWORD selector, BYTE** block) = 0;
    virtual bool ExecuteSelfTest(SmartDevice* device, DWORD type) = 0;
    virtual bool ReadSelfTestData(SmartDevice* device, DWORD* remainingSeconds, BYTE* status) = 0;
    virtual bool AbortSelfTest(SmartDevice* device) = 0;
    virtual ~CSmart() = default;
};
