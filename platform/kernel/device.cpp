// Device objects: creation and deletion, symbolic links to them, and device
// stacks (attach, detach, the top of a stack).
#include <set>

#include "kernel/internal/device.h"
#include "kernel/internal/object.h"

namespace kern::detail {
namespace {

std::set<PDEVICE_OBJECT>& LiveDevices() {  // guarded by IoDatabaseLock
    static auto* devices = new std::set<PDEVICE_OBJECT>;
    return *devices;
}

constexpr std::size_t Align16(std::size_t n) { return (n + 15) & ~std::size_t(15); }

bool HasVpb(DEVICE_TYPE type) {
    return type == FILE_DEVICE_DISK || type == FILE_DEVICE_CD_ROM || type == FILE_DEVICE_TAPE ||
           type == FILE_DEVICE_VIRTUAL_DISK || type == FILE_DEVICE_DVD;
}

void DeleteDeviceBody(PVOID body) {
    auto* device = static_cast<PDEVICE_OBJECT>(body);
    if (device->DeviceObjectExtension->owns_vpb) delete device->Vpb;
}

void UnlinkFromDriver(PDEVICE_OBJECT device) {
    PDEVICE_OBJECT* link = &device->DriverObject->DeviceObject;
    while (*link && *link != device) link = &(*link)->NextDevice;
    if (*link) *link = device->NextDevice;
}

}  // namespace

std::recursive_mutex& IoDatabaseLock() {
    static auto* lock = new std::recursive_mutex;
    return *lock;
}

void ResetDevices() {
    std::lock_guard lock(IoDatabaseLock());
    LiveDevices().clear();
}

}  // namespace kern::detail

namespace kern {

using namespace detail;

bool IsLiveDevice(PDEVICE_OBJECT device) {
    std::lock_guard lock(IoDatabaseLock());
    return LiveDevices().count(device) != 0;
}

void InjectAttachFailures(PDEVICE_OBJECT target, int count) {
    std::lock_guard lock(IoDatabaseLock());
    target->DeviceObjectExtension->attach_failures = count;
}

}  // namespace kern

extern "C" {

NTSTATUS IoCreateDevice(PDRIVER_OBJECT driver, ULONG extension_size, PUNICODE_STRING name, DEVICE_TYPE type,
                        ULONG characteristics, BOOLEAN exclusive, PDEVICE_OBJECT* out) {
    using namespace kern::detail;
    kern::RequireIrqlAtMost(APC_LEVEL, "IoCreateDevice");
    *out = nullptr;
    const std::size_t device_space = Align16(sizeof(DEVICE_OBJECT));
    const std::size_t private_space = Align16(sizeof(DEVOBJ_EXTENSION));
    auto* device = static_cast<PDEVICE_OBJECT>(CreateObject(ObjectKind::Device,
                                                            device_space + private_space + extension_size));
    auto* bytes = reinterpret_cast<BYTE*>(device);
    auto* priv = reinterpret_cast<DEVOBJ_EXTENSION*>(bytes + device_space);
    priv->Type = 13;
    priv->Size = sizeof(DEVOBJ_EXTENSION);
    priv->DeviceObject = device;
    device->Type = IO_TYPE_DEVICE;
    device->Size = static_cast<USHORT>(sizeof(DEVICE_OBJECT) + extension_size);
    device->DriverObject = driver;
    device->Flags = DO_DEVICE_INITIALIZING | (exclusive ? DO_EXCLUSIVE : 0);
    device->Characteristics = characteristics;
    device->DeviceExtension = extension_size ? bytes + device_space + private_space : nullptr;
    device->DeviceType = type;
    device->StackSize = 1;
    device->SectorSize = (type == FILE_DEVICE_DISK || type == FILE_DEVICE_CD_ROM) ? 512 : 0;
    device->DeviceObjectExtension = priv;
    if (HasVpb(type)) {
        device->Vpb = new VPB{};
        device->Vpb->Type = IO_TYPE_VPB;
        device->Vpb->Size = sizeof(VPB);
        device->Vpb->RealDevice = device;
        priv->owns_vpb = true;
    }
    HeaderOf(device)->on_delete = DeleteDeviceBody;
    HeaderOf(device)->on_discard = DeleteDeviceBody;
    if (name && name->Length) {
        const NTSTATUS status = InsertName(device, kern::ToU16(name));
        if (!NT_SUCCESS(status)) {
            ObfDereferenceObject(device);
            return status;
        }
        device->Flags |= DO_DEVICE_HAS_NAME;
    }
    std::lock_guard lock(IoDatabaseLock());
    device->NextDevice = driver->DeviceObject;
    driver->DeviceObject = device;
    LiveDevices().insert(device);
    *out = device;
    return STATUS_SUCCESS;
}

// Deleting a device that others are attached to first offers each attached
// driver its FastIoDetachDevice, as NT does when a file system deletes a
// volume. A device still attached above afterwards keeps the deleted one's
// memory alive until it detaches, so its lower-device pointer never dangles.
VOID IoDeleteDevice(PDEVICE_OBJECT device) {
    using namespace kern::detail;
    kern::RequireIrqlAtMost(APC_LEVEL, "IoDeleteDevice");
    PDEVICE_OBJECT attached = nullptr;
    {
        std::lock_guard lock(IoDatabaseLock());
        if (!LiveDevices().erase(device))
            kern::BugCheck(OBJECT_REFERENCE_ERROR, "IoDeleteDevice: the device is not a live device");
        device->DeviceObjectExtension->deleted = true;
        UnlinkFromDriver(device);
        attached = device->AttachedDevice;
    }
    RemoveName(device);
    if (attached) {
        PFAST_IO_DISPATCH fast_io = attached->DriverObject->FastIoDispatch;
        if (FAST_IO_ENTRY_PRESENT(fast_io, FastIoDetachDevice)) fast_io->FastIoDetachDevice(attached, device);
    }
    std::unique_lock lock(IoDatabaseLock());
    if (device->DeviceObjectExtension->AttachedTo) {
        DbgPrint("kernel: IoDeleteDevice of a device still attached to another; detaching it\n");
        IoDetachDevice(device->DeviceObjectExtension->AttachedTo);
    }
    if (device->AttachedDevice) {
        device->DeviceObjectExtension->free_on_detach = true;
        return;
    }
    lock.unlock();
    ObfDereferenceObject(device);
}

NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING link_name, PUNICODE_STRING target) {
    using namespace kern::detail;
    kern::RequireIrqlAtMost(APC_LEVEL, "IoCreateSymbolicLink");
    PVOID link = CreateObject(ObjectKind::SymbolicLink, 0);
    HeaderOf(link)->link_target = kern::ToU16(target);
    const NTSTATUS status = InsertName(link, kern::ToU16(link_name));
    ObfDereferenceObject(link);
    return status;
}

NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING link_name) {
    using namespace kern::detail;
    kern::RequireIrqlAtMost(APC_LEVEL, "IoDeleteSymbolicLink");
    LookupResult found;
    const NTSTATUS status = Lookup(kern::ToU16(link_name), false, &found);
    if (!NT_SUCCESS(status)) return status;
    const bool is_link = HeaderOf(found.object)->kind == ObjectKind::SymbolicLink && found.remainder.empty();
    if (is_link) RemoveName(found.object);
    ObfDereferenceObject(found.object);
    return is_link ? STATUS_SUCCESS : STATUS_OBJECT_TYPE_MISMATCH;
}

PDEVICE_OBJECT IoGetAttachedDevice(PDEVICE_OBJECT device) {
    std::lock_guard lock(kern::detail::IoDatabaseLock());
    while (device->AttachedDevice) device = device->AttachedDevice;
    return device;
}

PDEVICE_OBJECT IoGetAttachedDeviceReference(PDEVICE_OBJECT device) {
    std::lock_guard lock(kern::detail::IoDatabaseLock());
    PDEVICE_OBJECT top = IoGetAttachedDevice(device);
    ObfReferenceObject(top);
    return top;
}

PDEVICE_OBJECT IoAttachDeviceToDeviceStack(PDEVICE_OBJECT source, PDEVICE_OBJECT target) {
    kern::RequireIrqlAtMost(DISPATCH_LEVEL, "IoAttachDeviceToDeviceStack");
    std::lock_guard lock(kern::detail::IoDatabaseLock());
    DEVOBJ_EXTENSION* target_ext = target->DeviceObjectExtension;
    if (target_ext->attach_failures > 0) {
        --target_ext->attach_failures;
        return nullptr;
    }
    PDEVICE_OBJECT top = IoGetAttachedDevice(target);
    if (top->DeviceObjectExtension->deleted || source->DeviceObjectExtension->AttachedTo) return nullptr;
    top->AttachedDevice = source;
    source->DeviceObjectExtension->AttachedTo = top;
    source->StackSize = static_cast<CCHAR>(top->StackSize + 1);
    source->AlignmentRequirement = std::max(source->AlignmentRequirement, top->AlignmentRequirement);
    source->SectorSize = top->SectorSize;
    return top;
}

NTSTATUS IoAttachDeviceToDeviceStackSafe(PDEVICE_OBJECT source, PDEVICE_OBJECT target, PDEVICE_OBJECT* lower) {
    *lower = IoAttachDeviceToDeviceStack(source, target);
    return *lower ? STATUS_SUCCESS : STATUS_NO_SUCH_DEVICE;
}

VOID IoDetachDevice(PDEVICE_OBJECT target) {
    kern::RequireIrqlAtMost(DISPATCH_LEVEL, "IoDetachDevice");
    std::unique_lock lock(kern::detail::IoDatabaseLock());
    PDEVICE_OBJECT above = target->AttachedDevice;
    if (!above) return;
    above->DeviceObjectExtension->AttachedTo = nullptr;
    target->AttachedDevice = nullptr;
    if (!target->DeviceObjectExtension->free_on_detach) return;
    target->DeviceObjectExtension->free_on_detach = false;
    lock.unlock();
    ObfDereferenceObject(target);
}

PDEVICE_OBJECT IoGetRelatedDeviceObject(PFILE_OBJECT file) {
    PDEVICE_OBJECT base = file->DeviceObject;
    if (file->Vpb && file->Vpb->DeviceObject)
        base = file->Vpb->DeviceObject;
    else if (base->Vpb && base->Vpb->DeviceObject && (base->Vpb->Flags & VPB_MOUNTED))
        base = base->Vpb->DeviceObject;
    return IoGetAttachedDevice(base);
}

}  // extern "C"
