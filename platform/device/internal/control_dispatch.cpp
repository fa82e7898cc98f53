#include "device/internal/control_dispatch.h"

#include "device/internal/scsi_requests.h"
#include "device/internal/smart_requests.h"

namespace plat::device::detail {

IoResult DispatchControl(ULONG code, std::span<const BYTE> in, std::span<BYTE> out, const DeviceEndpoints& device) {
    const IoResult unsupported{STATUS_INVALID_DEVICE_REQUEST, 0, {}};
    switch (code) {
        case SMART_GET_VERSION:
            return SmartVersionRequest(device.smart_version, out);
        case SMART_SEND_DRIVE_COMMAND:
        case SMART_RCV_DRIVE_DATA:
            return device.ata && device.smart_version ? SmartDriveRequest(code, in, out, *device.ata) : unsupported;
        case IOCTL_SCSI_GET_ADDRESS:
            return ScsiAddressRequest(device.address, out);
        case IOCTL_SCSI_PASS_THROUGH_DIRECT:
            return device.scsi ? ScsiPassThroughRequest(in, out, *device.scsi) : unsupported;
        default:
            return unsupported;
    }
}

}  // namespace plat::device::detail
