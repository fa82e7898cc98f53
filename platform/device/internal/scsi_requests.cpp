#include "device/internal/scsi_requests.h"

#include <algorithm>
#include <cstring>

namespace plat::device::detail {
namespace {

constexpr ULONG kSptdSize = sizeof(SCSI_PASS_THROUGH_DIRECT);

NTSTATUS Check(const SCSI_PASS_THROUGH_DIRECT& s, std::size_t out_size) {
    if (s.Length != kSptdSize) return STATUS_REVISION_MISMATCH;
    if (out_size < kSptdSize) return STATUS_BUFFER_TOO_SMALL;
    const bool bad_cdb = s.CdbLength == 0 || s.CdbLength > sizeof s.Cdb;
    const bool bad_data = s.DataIn > SCSI_IOCTL_DATA_UNSPECIFIED || s.DataTransferLength > kScsiMaxTransferLength ||
                          (s.DataTransferLength && (!s.DataBuffer || s.DataIn == SCSI_IOCTL_DATA_UNSPECIFIED));
    const bool bad_sense =
        s.SenseInfoLength && (s.SenseInfoOffset < kSptdSize || s.SenseInfoOffset + s.SenseInfoLength > out_size);
    const bool bad_timeout = s.TimeOutValue == 0 || s.TimeOutValue > kScsiMaxTimeOutSeconds;
    return bad_cdb || bad_data || bad_sense || bad_timeout ? STATUS_INVALID_PARAMETER : STATUS_SUCCESS;
}

DataDirection DirectionOf(UCHAR data_in) {
    switch (data_in) {
        case SCSI_IOCTL_DATA_IN:
            return DataDirection::kIn;
        case SCSI_IOCTL_DATA_OUT:
            return DataDirection::kOut;
        default:
            return DataDirection::kNone;
    }
}

}  // namespace

IoResult ScsiAddressRequest(const std::optional<SCSI_ADDRESS>& address, std::span<BYTE> out) {
    if (!address) return {STATUS_INVALID_DEVICE_REQUEST, 0, {}};
    if (out.size() < sizeof(SCSI_ADDRESS)) return {STATUS_BUFFER_TOO_SMALL, 0, {}};
    std::memcpy(out.data(), &*address, sizeof *address);
    return {STATUS_SUCCESS, sizeof(SCSI_ADDRESS), {}};
}

std::span<const BYTE> ScsiRequestCdb(std::span<const BYTE> in) {
    if (in.size() < kSptdSize) return {};
    const UCHAR length = std::min<UCHAR>(in[offsetof(SCSI_PASS_THROUGH_DIRECT, CdbLength)], 16);
    return in.subspan(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb), length);
}

IoResult ScsiPassThroughRequest(std::span<const BYTE> in, std::span<BYTE> out, ScsiDevice& device) {
    if (in.size() < kSptdSize) return {STATUS_INVALID_PARAMETER, 0, {}};
    SCSI_PASS_THROUGH_DIRECT sptd;
    std::memcpy(&sptd, in.data(), kSptdSize);
    if (NTSTATUS status = Check(sptd, out.size()); !NT_SUCCESS(status)) return {status, 0, {}};

    ScsiRequest request;
    request.cdb = std::span<const BYTE>(sptd.Cdb, sptd.CdbLength);
    request.direction = DirectionOf(sptd.DataIn);
    request.data = std::span<BYTE>(static_cast<BYTE*>(sptd.DataBuffer), sptd.DataTransferLength);
    request.timeout_seconds = sptd.TimeOutValue;
    request.path = sptd.PathId;
    request.target = sptd.TargetId;
    request.lun = sptd.Lun;
    const ScsiOutcome outcome = device.Execute(request);
    if (!NT_SUCCESS(outcome.transport)) return {outcome.transport, 0, {}};

    const bool autosense = outcome.status == SCSISTAT_CHECK_CONDITION;
    const auto sense_bytes =
        autosense ? static_cast<UCHAR>(std::min<std::size_t>(outcome.sense.size(), sptd.SenseInfoLength)) : UCHAR(0);
    sptd.ScsiStatus = outcome.status;
    sptd.DataTransferLength = std::min(outcome.transferred, sptd.DataTransferLength);
    sptd.SenseInfoLength = sense_bytes;
    std::memcpy(out.data(), &sptd, kSptdSize);
    if (sense_bytes) std::memcpy(out.data() + sptd.SenseInfoOffset, outcome.sense.data(), sense_bytes);
    return {STATUS_SUCCESS, sense_bytes ? sptd.SenseInfoOffset + sense_bytes : kSptdSize, {}};
}

}  // namespace plat::device::detail
