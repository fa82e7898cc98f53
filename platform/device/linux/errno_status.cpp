#include "device/linux/errno_status.h"

#include <cerrno>
#include <utility>

namespace plat::device::detail {

NTSTATUS StatusFromErrno(int err, bool for_open) {
    if (err == ENOENT || err == ENXIO || err == ENODEV)
        return for_open ? STATUS_OBJECT_NAME_NOT_FOUND : STATUS_NO_SUCH_DEVICE;
    static constexpr std::pair<int, NTSTATUS> kTable[] = {
        {EACCES, STATUS_ACCESS_DENIED},          {EPERM, STATUS_ACCESS_DENIED},
        {EROFS, STATUS_ACCESS_DENIED},           {EINVAL, STATUS_INVALID_PARAMETER},
        {ENOMEM, STATUS_INSUFFICIENT_RESOURCES}, {EBUSY, STATUS_DEVICE_BUSY},
        {ETIMEDOUT, STATUS_IO_TIMEOUT},          {ENOTTY, STATUS_INVALID_DEVICE_REQUEST},
        {EOPNOTSUPP, STATUS_NOT_SUPPORTED},      {ENOMEDIUM, STATUS_NO_MEDIA_IN_DEVICE},
        {EIO, STATUS_IO_DEVICE_ERROR},
    };
    for (const auto& [e, status] : kTable)
        if (e == err) return status;
    return STATUS_UNSUCCESSFUL;  // an errno without a closer counterpart
}

}  // namespace plat::device::detail
