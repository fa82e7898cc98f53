#include "kernel/sim/storage.h"

namespace kern::sim {

NTSTATUS StorageDevice::Create(PDRIVER_OBJECT driver) {
    ULONG characteristics = 0;
    if (m_spec.removable || m_spec.floppy) characteristics |= FILE_REMOVABLE_MEDIA;
    if (m_spec.floppy) characteristics |= FILE_FLOPPY_DISKETTE;
    const size_t slash = m_spec.name.rfind(u'\\');
    if (slash > 0) CreateDirectoryPath(m_spec.name.substr(0, slash));
    const NTSTATUS status = CreateSimDevice(driver, this, m_spec.name, m_spec.type, characteristics, &m_device);
    if (NT_SUCCESS(status)) m_device->Flags &= ~DO_DEVICE_INITIALIZING;
    return status;
}

NTSTATUS StorageDevice::Dispatch(PDEVICE_OBJECT, PIRP irp) {
    switch (IoGetCurrentIrpStackLocation(irp)->MajorFunction) {
        case IRP_MJ_CREATE: return Complete(irp, STATUS_SUCCESS, FILE_OPENED);
        case IRP_MJ_CLEANUP:
        case IRP_MJ_CLOSE:
        case IRP_MJ_PNP: return Complete(irp, STATUS_SUCCESS);
        case IRP_MJ_DEVICE_CONTROL: return Control(irp);
        default: return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
    }
}

NTSTATUS StorageDevice::Control(PIRP irp) {
    const auto& p = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl;
    PVOID buffer = irp->AssociatedIrp.SystemBuffer;
    switch (p.IoControlCode) {
        case IOCTL_STORAGE_GET_DEVICE_NUMBER:
            if (!m_spec.number) return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
            if (p.OutputBufferLength < sizeof(STORAGE_DEVICE_NUMBER)) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
            std::memcpy(buffer, &*m_spec.number, sizeof(STORAGE_DEVICE_NUMBER));
            return Complete(irp, STATUS_SUCCESS, sizeof(STORAGE_DEVICE_NUMBER));
        case IOCTL_STORAGE_MEDIA_REMOVAL: {
            if (p.InputBufferLength < sizeof(PREVENT_MEDIA_REMOVAL)) return Complete(irp, STATUS_INVALID_PARAMETER);
            const bool prevent = static_cast<PREVENT_MEDIA_REMOVAL*>(buffer)->PreventMediaRemoval != 0;
            if (m_backing) {
                const NTSTATUS status = m_backing->PreventRemoval(prevent);
                if (!NT_SUCCESS(status)) return Complete(irp, status);
            }
            m_preventRemoval = prevent;
            return Complete(irp, STATUS_SUCCESS);
        }
        case IOCTL_STORAGE_EJECT_MEDIA:
            if (!(m_device->Characteristics & FILE_REMOVABLE_MEDIA)) return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
            if (m_preventRemoval) return Complete(irp, STATUS_DEVICE_BUSY);
            if (m_backing) {
                const NTSTATUS status = m_backing->Eject();
                if (!NT_SUCCESS(status)) return Complete(irp, status);
            }
            m_mediaPresent = false;
            return Complete(irp, STATUS_SUCCESS);
        case IOCTL_STORAGE_LOAD_MEDIA:
            m_mediaPresent = true;
            return Complete(irp, STATUS_SUCCESS);
        default: return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
    }
}

}  // namespace kern::sim
