// The emulated drivers of the simulated machine are C++ objects behind
// ordinary driver and device objects: each device's extension holds a pointer
// to its SimDevice, and one dispatch routine routes every request to it.
#pragma once

#include <string>

#include "kernel/kernel.h"

namespace kern::sim {

class SimDevice {
public:
    virtual ~SimDevice() = default;
    virtual NTSTATUS Dispatch(PDEVICE_OBJECT device, PIRP irp) = 0;
    // Fast I/O entry `index` (FAST_IO_DISPATCH field number, 1-based) was
    // called on this device; false declines it.
    virtual bool FastIo(std::size_t index) { (void)index; return false; }
};

// Creates a device whose requests go to `owner`. The caller clears
// DO_DEVICE_INITIALIZING when the device is ready.
NTSTATUS CreateSimDevice(PDRIVER_OBJECT driver, SimDevice* owner, const std::u16string& name, DEVICE_TYPE type,
                         ULONG characteristics, PDEVICE_OBJECT* device);
SimDevice* OwnerOf(PDEVICE_OBJECT device);

// Creates a driver object whose major functions all route to the SimDevice
// of the target device.
NTSTATUS CreateSimDriver(const std::u16string& name, PDRIVER_OBJECT* driver);

// Completes `irp` with `status` and `information`.
NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information = 0);

}  // namespace kern::sim
