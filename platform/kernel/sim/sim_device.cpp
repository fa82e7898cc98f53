#include "kernel/sim/sim_device.h"

namespace kern::sim {
namespace {

NTSTATUS RouteRequest(PDEVICE_OBJECT device, PIRP irp) { return OwnerOf(device)->Dispatch(device, irp); }

NTSTATUS InitSimDriver(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    for (auto& dispatch : driver->MajorFunction) dispatch = RouteRequest;
    return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS CreateSimDevice(PDRIVER_OBJECT driver, SimDevice* owner, const std::u16string& name, DEVICE_TYPE type,
                         ULONG characteristics, PDEVICE_OBJECT* device) {
    std::u16string text = name;
    UNICODE_STRING unicode{USHORT(text.size() * 2), USHORT(text.size() * 2), text.data()};
    const NTSTATUS status = IoCreateDevice(driver, sizeof(SimDevice*), text.empty() ? nullptr : &unicode, type,
                                           characteristics, FALSE, device);
    if (NT_SUCCESS(status)) *static_cast<SimDevice**>((*device)->DeviceExtension) = owner;
    return status;
}

SimDevice* OwnerOf(PDEVICE_OBJECT device) { return *static_cast<SimDevice**>(device->DeviceExtension); }

NTSTATUS CreateSimDriver(const std::u16string& name, PDRIVER_OBJECT* driver) {
    return CreateDriver(name, InitSimDriver, driver);
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IofCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

}  // namespace kern::sim
