#include "device/linux/sg_io_unit.h"

#include <scsi/sg.h>

#include <algorithm>
#include <climits>

#include "device/linux/errno_status.h"

namespace plat::device::detail {
namespace {

// Host and driver bytes of the SCSI layer.
constexpr unsigned kHostNoConnect = 0x01;
constexpr unsigned kHostBusBusy = 0x02;
constexpr unsigned kHostTimeOut = 0x03;
constexpr unsigned kHostBadTarget = 0x04;
constexpr unsigned kDriverTimeOut = 0x06;
constexpr unsigned kDriverSense = 0x08;
constexpr unsigned kSenseBufferSize = 64;

NTSTATUS TransportStatus(const sg_io_hdr& h) {
    switch (h.host_status) {
        case 0:
            break;
        case kHostNoConnect:
        case kHostBadTarget:
            return STATUS_NO_SUCH_DEVICE;
        case kHostBusBusy:
            return STATUS_DEVICE_BUSY;
        case kHostTimeOut:
            return STATUS_IO_TIMEOUT;
        default:
            return STATUS_IO_DEVICE_ERROR;
    }
    const unsigned driver = h.driver_status & 0x0F;
    if (driver == kDriverTimeOut) return STATUS_IO_TIMEOUT;
    if (driver != 0 && driver != kDriverSense) return STATUS_IO_DEVICE_ERROR;
    return STATUS_SUCCESS;
}

int DirectionOf(DataDirection d, std::size_t length) {
    if (length == 0) return SG_DXFER_NONE;
    return d == DataDirection::kIn ? SG_DXFER_FROM_DEV : d == DataDirection::kOut ? SG_DXFER_TO_DEV : SG_DXFER_NONE;
}

}  // namespace

ScsiOutcome SgIoUnit::Execute(const ScsiRequest& request) {
    unsigned char cdb[16] = {};
    std::copy(request.cdb.begin(), request.cdb.end(), cdb);
    unsigned char sense[kSenseBufferSize] = {};
    sg_io_hdr h{};
    h.interface_id = 'S';
    h.dxfer_direction = DirectionOf(request.direction, request.data.size());
    h.cmd_len = static_cast<unsigned char>(request.cdb.size());
    h.mx_sb_len = sizeof sense;
    h.dxfer_len = h.dxfer_direction == SG_DXFER_NONE ? 0 : static_cast<unsigned>(request.data.size());
    h.dxferp = h.dxfer_len ? request.data.data() : nullptr;
    h.cmdp = cdb;
    h.sbp = sense;
    h.timeout = static_cast<unsigned>(std::min<std::uint64_t>(std::uint64_t(request.timeout_seconds) * 1000, UINT_MAX));

    ScsiOutcome out;
    if (const int rc = m_system.SgIo(m_fd, &h); rc < 0) {
        out.transport = StatusFromErrno(-rc, false);
        return out;
    }
    out.transport = TransportStatus(h);
    out.status = h.status;
    out.sense.assign(sense, sense + std::min<unsigned>(h.sb_len_wr, sizeof sense));
    const int resid = std::clamp<int>(h.resid, 0, static_cast<int>(h.dxfer_len));
    out.transferred = h.dxfer_len - static_cast<unsigned>(resid);
    return out;
}

}  // namespace plat::device::detail
