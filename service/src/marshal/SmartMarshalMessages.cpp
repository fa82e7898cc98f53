#include "marshal/SmartMarshalMessages.h"

#include "marshal/SmartDeviceWire.h"

namespace {

constexpr DWORD kIdSize = 8;
constexpr DWORD kIdAndValueSize = 12;

bool DecodeIdAndValue(CZmArchive& archive, SmartServerId& id, DWORD& value) {
    if (archive.GetLength(FALSE) != kIdAndValueSize) return false;
    archive.Get64(id).Get32(value);
    return true;
}

}  // namespace

bool CSmartMarshalVoid::Encode(CZmArchive&) const { return true; }

bool CSmartMarshalVoid::Decode(CZmArchive& archive) { return Remaining(archive) == 0; }

bool CSmartMarshalSmartServerId::Encode(CZmArchive& archive) const { return Put64(archive, serverId); }

bool CSmartMarshalSmartServerId::Decode(CZmArchive& archive) {
    if (Remaining(archive) != kIdSize) return false;
    archive.Get64(serverId);
    return true;
}

bool CSmartMarshalReadLogRequest::Encode(CZmArchive& archive) const {
    return Put64(archive, serverId) && Put32(archive, selector);
}

bool CSmartMarshalReadLogRequest::Decode(CZmArchive& archive) { return DecodeIdAndValue(archive, serverId, selector); }

bool CSmartMarshalSelfTestRequest::Encode(CZmArchive& archive) const {
    return Put64(archive, serverId) && Put32(archive, type);
}

bool CSmartMarshalSelfTestRequest::Decode(CZmArchive& archive) { return DecodeIdAndValue(archive, serverId, type); }

bool CSmartMarshalSmartDevice::Encode(CZmArchive& archive) const { return PutSmartDevice(archive, device); }

bool CSmartMarshalSmartDevice::Decode(CZmArchive& archive) { return GetSmartDevice(archive, device); }

bool CSmartMarshalReadLogResponse::Encode(CZmArchive& archive) const {
    return archive.PutBytes(data.data(), static_cast<DWORD>(data.size())) != 0;
}

bool CSmartMarshalReadLogResponse::Decode(CZmArchive& archive) {
    if (Remaining(archive) != data.size()) return false;
    return archive.GetBytes(data.data(), static_cast<DWORD>(data.size())) != 0;
}

bool CSmartMarshalTestResult::Encode(CZmArchive& archive) const {
    return PutSmartDevice(archive, device) && Put32(archive, remainingSeconds) && Put8(archive, selfTestStatus);
}

bool CSmartMarshalTestResult::Decode(CZmArchive& archive) {
    if (Remaining(archive) < kSmartDeviceWireSize + 5 || !GetSmartDevice(archive, device)) return false;
    archive.Get32(remainingSeconds).Get8(selfTestStatus);
    return true;
}

bool CSmartMarshalSmartDeviceList::Encode(CZmArchive& archive) const {
    if (!Put32(archive, static_cast<DWORD>(devices.size()))) return false;
    for (const SmartDevice& device : devices) {
        if (!PutSmartDevice(archive, device)) return false;
    }
    return true;
}

bool CSmartMarshalSmartDeviceList::Decode(CZmArchive& archive) {
    if (Remaining(archive) < 4) return false;
    DWORD count = 0;
    archive.Get32(count);
    if (Remaining(archive) / kSmartDeviceWireSize < count) return false;
    devices.reserve(devices.size() + count);
    for (DWORD i = 0; i < count; ++i) {
        SmartDevice device;
        if (!GetSmartDevice(archive, device)) return false;
        devices.push_back(device);
    }
    return true;
}
