// The I/O manager's private per-device record, reached through
// DEVICE_OBJECT.DeviceObjectExtension. Internal to the kernel emulation.
#pragma once

#include "kernel/kernel.h"

struct DEVOBJ_EXTENSION {
    CSHORT Type;
    USHORT Size;
    PDEVICE_OBJECT DeviceObject;
    PDEVICE_OBJECT AttachedTo;  // the device directly below, when attached
    bool deleted;  // IoDeleteDevice has run
    bool free_on_detach;  // deleted while a device was still attached above it
    bool owns_vpb;
    int attach_failures;  // injected: the next attaches onto this stack fail
};

namespace kern::detail {

// The dispatch routine of every major function a driver leaves unset.
NTSTATUS InvalidDeviceRequest(PDEVICE_OBJECT device, PIRP irp);

// IRP.AllocationFlags bit: the I/O manager frees the packet at completion.
constexpr UCHAR kIrpOwnedByIoManager = 0x80;

void ResetDevices();

}  // namespace kern::detail
