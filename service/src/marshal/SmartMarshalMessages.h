// The eight message classes of the S.M.A.R.T. request protocol and what
// their Decode accepts:
//   CSmartMarshalVoid              nothing: only when no byte remains
//   CSmartMarshalSmartServerId     u64 server id: exactly 8 bytes
//   CSmartMarshalReadLogRequest    u64 server id, u32 log selector: exactly 12
//   CSmartMarshalSelfTestRequest   u64 server id, u32 self-test type: exactly 12
//   CSmartMarshalSmartDevice       one device record: a complete record
//   CSmartMarshalReadLogResponse   1024 bytes of log data: exactly 1024
//   CSmartMarshalTestResult        record, u32 remaining seconds, u8 status
//                                  byte: a complete record and both fields
//   CSmartMarshalSmartDeviceList   u32 count, count records: the count and
//                                  that many complete records, appended in
//                                  order
// A failed Decode may leave the payload fields partly written.
#pragma once

#include <array>
#include <vector>

#include "marshal/SmartMarshalMessage.h"
#include "smart/SmartRecords.h"

class CSmartMarshalVoid : public CSmartMarshalMessage {
public:
    using CSmartMarshalMessage::CSmartMarshalMessage;
    bool Encode(CZmArchive& archive) const override;
    bool Decode(CZmArchive& archive) override;
};

class CSmartMarshalSmartServerId : public CSmartMarshalMessage {
public:
    using CSmartMarshalMessage::CSmartMarshalMessage;
    bool Encode(CZmArchive& archive) const override;
    bool Decode(CZmArchive& archive) override;

    SmartServerId serverId = 0;
};

class CSmartMarshalReadLogRequest : public CSmartMarshalMessage {
public:
    using CSmartMarshalMessage::CSmartMarshalMessage;
    bool Encode(CZmArchive& archive) const override;
    bool Decode(CZmArchive& archive) override;

    SmartServerId serverId = 0;
    DWORD selector = 0;
};

class CSmartMarshalSelfTestRequest : public CSmartMarshalMessage {
public:
    using CSmartMarshalMessage::CSmartMarshalMessage;
    bool Encode(CZmArchive& archive) const override;
    bool Decode(CZmArchive& archive) override;

    SmartServerId serverId = 0;
    DWORD type = 0;
};

class CSmartMarshalSmartDevice : public CSmartMarshalMessage {
public:
    using CSmartMarshalMessage::CSmartMarshalMessage;
    bool Encode(CZmArchive& archive) const override;
    bool Decode(CZmArchive& archive) override;

    SmartDevice device;  // links are never sent and decode empty
};

class CSmartMarshalReadLogResponse : public CSmartMarshalMessage {
public:
    using CSmartMarshalMessage::CSmartMarshalMessage;
    bool Encode(CZmArchive& archive) const override;
    bool Decode(CZmArchive& archive) override;

    std::array<BYTE, kSmartLogBlockSize> data{};
};

class CSmartMarshalTestResult : public CSmartMarshalMessage {
public:
    using CSmartMarshalMessage::CSmartMarshalMessage;
    bool Encode(CZmArchive& archive) const override;
    bool Decode(CZmArchive& archive) override;

    SmartDevice device;
    DWORD remainingSeconds = 0;
    BYTE selfTestStatus = 0;
};

class CSmartMarshalSmartDeviceList : public CSmartMarshalMessage {
public:
    using CSmartMarshalMessage::CSmartMarshalMessage;
    bool Encode(CZmArchive& archive) const override;
    // A count larger than the records that remain is refused before any
    // record is read, so a damaged count cannot make the list allocate.
    bool Decode(CZmArchive& archive) override;

    std::vector<SmartDevice> devices;  // links empty
};
