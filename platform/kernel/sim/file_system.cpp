#include "kernel/sim/file_system.h"

#include <algorithm>
#include <type_traits>

#include "base/text.h"

namespace kern::sim {
namespace {

#define LUMETRA_FAST_IO_ENTRIES(X)                                                                                \
    X(1, FastIoCheckIfPossible) X(2, FastIoRead) X(3, FastIoWrite) X(4, FastIoQueryBasicInfo)                  \
    X(5, FastIoQueryStandardInfo) X(6, FastIoLock) X(7, FastIoUnlockSingle) X(8, FastIoUnlockAll)               \
    X(9, FastIoUnlockAllByKey) X(10, FastIoDeviceControl) X(11, AcquireFileForNtCreateSection)                  \
    X(12, ReleaseFileForNtCreateSection) X(13, FastIoDetachDevice) X(14, FastIoQueryNetworkOpenInfo)            \
    X(15, AcquireForModWrite) X(16, MdlRead) X(17, MdlReadComplete) X(18, PrepareMdlWrite)                     \
    X(19, MdlWriteComplete) X(20, FastIoReadCompressed) X(21, FastIoWriteCompressed)                           \
    X(22, MdlReadCompleteCompressed) X(23, MdlWriteCompleteCompressed) X(24, FastIoQueryOpen)                  \
    X(25, ReleaseForModWrite) X(26, AcquireForCcFlush) X(27, ReleaseForCcFlush)

template <typename T>
void Pick(T, PDEVICE_OBJECT*, PIO_STATUS_BLOCK*) {}
inline void Pick(PDEVICE_OBJECT d, PDEVICE_OBJECT* device, PIO_STATUS_BLOCK*) { *device = d; }
inline void Pick(PIO_STATUS_BLOCK s, PDEVICE_OBJECT*, PIO_STATUS_BLOCK* iosb) { *iosb = s; }

// One routine per entry: it finds the device among its arguments (the last
// device argument), lets that device's owner count and decide, and answers
// TRUE / STATUS_SUCCESS when the owner accepted.
template <std::size_t Index, typename R, typename... A>
R FastEntry(A... args) {
    PDEVICE_OBJECT device = nullptr;
    PIO_STATUS_BLOCK iosb = nullptr;
    (Pick(args, &device, &iosb), ...);
    const bool accepted = device && OwnerOf(device)->FastIo(Index);
    if (accepted && iosb) {
        iosb->Status = STATUS_SUCCESS;
        iosb->Information = 0;
    }
    if constexpr (std::is_same_v<R, NTSTATUS>)
        return accepted ? STATUS_SUCCESS : STATUS_NOT_SUPPORTED;
    else if constexpr (std::is_same_v<R, BOOLEAN>)
        return accepted ? TRUE : FALSE;
}

template <std::size_t Index, typename R, typename... A>
void InstallEntry(R (*&slot)(A...)) {
    slot = &FastEntry<Index, R, A...>;
}

// File systems here have no use for these two entries.
bool NeverInstalled(const std::string& name) { return name == "FastIoDeviceControl" || name == "FastIoDetachDevice"; }

void FillLabel(PVPB vpb, std::u16string_view label) {
    const size_t chars = std::min<size_t>(label.size(), MAXIMUM_VOLUME_LABEL_LENGTH / sizeof(WCHAR));
    std::memcpy(vpb->VolumeLabel, label.data(), chars * sizeof(WCHAR));
    vpb->VolumeLabelLength = static_cast<USHORT>(chars * sizeof(WCHAR));
}

constexpr ULONG kBytesPerSector = 512;
constexpr ULONG kSectorsPerUnit = 8;

}  // namespace

const std::array<const char*, 28>& FastIoEntryNames() {
    static const std::array<const char*, 28> names = [] {
        std::array<const char*, 28> n{"SizeOfFastIoDispatch"};
#define LUMETRA_NAME(i, field) n[i] = #field;
        LUMETRA_FAST_IO_ENTRIES(LUMETRA_NAME)
#undef LUMETRA_NAME
        return n;
    }();
    return names;
}

// ---------------------------------------------------------------------------
// Volume

Volume::Volume(FileSystem* fs, StorageDevice* storage) : m_fs(fs), m_storage(storage) {}

bool Volume::FastIo(std::size_t index) {
    m_fs->CountFastIo(index);
    return m_engine.FastIoAllowed() && !Dismounted();
}

NTSTATUS Volume::Dispatch(PDEVICE_OBJECT, PIRP irp) {
    const UCHAR major = IoGetCurrentIrpStackLocation(irp)->MajorFunction;
    switch (major) {
        case IRP_MJ_CREATE:
        case IRP_MJ_CLEANUP:
        case IRP_MJ_FILE_SYSTEM_CONTROL: {
            // Decided under the lock, completed outside it: completion
            // routines of filters above run without the volume's lock.
            IO_STATUS_BLOCK result;
            {
                std::lock_guard lock(m_lock);
                result = major == IRP_MJ_FILE_SYSTEM_CONTROL ? FsControl(irp) : OpenOrCleanup(irp);
            }
            return Complete(irp, result.Status, result.Information);
        }
        case IRP_MJ_CLOSE:
        case IRP_MJ_PNP:
        case IRP_MJ_SHUTDOWN: return Complete(irp, STATUS_SUCCESS);
        case IRP_MJ_DEVICE_CONTROL:
            if (!m_storage) return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
            // Storage requests go on to the storage device's stack.
            IoSkipCurrentIrpStackLocation(irp);
            return IofCallDriver(IoGetAttachedDevice(m_storage->Device()), irp);
        default: return FileRequest(irp);
    }
}

IO_STATUS_BLOCK Volume::OpenOrCleanup(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    PFILE_OBJECT file = location->FileObject;
    IO_STATUS_BLOCK result;
    result.Status = STATUS_SUCCESS;
    if (location->MajorFunction == IRP_MJ_CLEANUP) {
        m_userOpens.erase(file);
        if (m_locker == file) m_locker = nullptr;
        return result;
    }
    if (m_dismounted) {
        result.Status = STATUS_VOLUME_DISMOUNTED;
    } else if (m_locker && m_locker != file) {
        result.Status = STATUS_ACCESS_DENIED;
    } else {
        // Only programs' opens keep a volume from being locked; the machine's
        // own (kernel-mode) opens, such as its activity requests, do not.
        if (irp->RequestorMode == UserMode) m_userOpens.insert(file);
        result.Information = FILE_OPENED;
    }
    return result;
}

IO_STATUS_BLOCK Volume::FsControl(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    IO_STATUS_BLOCK result;
    result.Status = STATUS_SUCCESS;
    const ULONG code = location->Parameters.FileSystemControl.FsControlCode;
    if (location->MinorFunction != IRP_MN_USER_FS_REQUEST) {
        result.Status = STATUS_INVALID_DEVICE_REQUEST;
    } else if (code == FSCTL_LOCK_VOLUME) {
        // Only the sole open of the volume may lock it.
        const std::size_t others = m_userOpens.size() - m_userOpens.count(location->FileObject);
        if (m_locker || others > 0)
            result.Status = STATUS_ACCESS_DENIED;
        else if (StorageBacking* backing = m_storage ? m_storage->Backing() : nullptr)
            result.Status = backing->Lock();
        if (NT_SUCCESS(result.Status)) m_locker = location->FileObject;
    } else if (code == FSCTL_UNLOCK_VOLUME) {
        if (m_locker == location->FileObject)
            m_locker = nullptr;
        else
            result.Status = STATUS_INVALID_DEVICE_REQUEST;
    } else if (code == FSCTL_DISMOUNT_VOLUME && m_storage) {
        if (StorageBacking* backing = m_storage->Backing()) result.Status = backing->Dismount();
        if (NT_SUCCESS(result.Status)) {
            m_dismounted = true;
            m_storage->Device()->Vpb->Flags &= ~VPB_MOUNTED;
        }
    } else if (code == FSCTL_IS_VOLUME_MOUNTED) {
        if (m_dismounted) result.Status = STATUS_VOLUME_DISMOUNTED;
    } else {
        result.Status = STATUS_INVALID_DEVICE_REQUEST;
    }
    return result;
}

NTSTATUS Volume::FileRequest(PIRP irp) {
    if (Dismounted()) return Complete(irp, STATUS_VOLUME_DISMOUNTED);
    const NTSTATUS decided = m_engine.Decide(irp);
    if (decided == STATUS_PENDING) return STATUS_PENDING;
    if (!NT_SUCCESS(decided)) return Complete(irp, decided);
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    switch (location->MajorFunction) {
        case IRP_MJ_QUERY_VOLUME_INFORMATION: return QueryVolume(irp);
        case IRP_MJ_SET_VOLUME_INFORMATION: return SetVolume(irp);
        case IRP_MJ_READ:
        case IRP_MJ_WRITE:
        case IRP_MJ_QUERY_INFORMATION:
        case IRP_MJ_SET_INFORMATION: return Complete(irp, STATUS_SUCCESS, location->Parameters.Read.Length);
        default: return Complete(irp, STATUS_SUCCESS);
    }
}

NTSTATUS Volume::QueryVolume(PIRP irp) {
    const auto& p = IoGetCurrentIrpStackLocation(irp)->Parameters.QueryVolume;
    VolumeSpec spec = m_storage && m_storage->Spec().volume ? *m_storage->Spec().volume : VolumeSpec{};
    if (StorageBacking* backing = m_storage ? m_storage->Backing() : nullptr) {
        const NTSTATUS status = backing->QuerySpace(&spec.total_bytes, &spec.free_bytes);
        if (!NT_SUCCESS(status)) return Complete(irp, status);
    }
    const LONGLONG unit = LONGLONG(kBytesPerSector) * kSectorsPerUnit;
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    switch (p.FsInformationClass) {
        case FileFsFullSizeInformation: {
            if (p.Length < sizeof(FILE_FS_FULL_SIZE_INFORMATION)) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
            FILE_FS_FULL_SIZE_INFORMATION info{};
            info.TotalAllocationUnits.QuadPart = LONGLONG(spec.total_bytes) / unit;
            info.CallerAvailableAllocationUnits.QuadPart = LONGLONG(spec.free_bytes) / unit;
            info.ActualAvailableAllocationUnits.QuadPart = LONGLONG(spec.free_bytes) / unit;
            info.SectorsPerAllocationUnit = kSectorsPerUnit;
            info.BytesPerSector = kBytesPerSector;
            std::memcpy(buffer, &info, sizeof(info));
            return Complete(irp, STATUS_SUCCESS, sizeof(info));
        }
        case FileFsSizeInformation: {
            if (p.Length < sizeof(FILE_FS_SIZE_INFORMATION)) return Complete(irp, STATUS_BUFFER_TOO_SMALL);
            FILE_FS_SIZE_INFORMATION info{};
            info.TotalAllocationUnits.QuadPart = LONGLONG(spec.total_bytes) / unit;
            info.AvailableAllocationUnits.QuadPart = LONGLONG(spec.free_bytes) / unit;
            info.SectorsPerAllocationUnit = kSectorsPerUnit;
            info.BytesPerSector = kBytesPerSector;
            std::memcpy(buffer, &info, sizeof(info));
            return Complete(irp, STATUS_SUCCESS, sizeof(info));
        }
        default: return Complete(irp, STATUS_SUCCESS, 0);
    }
}

NTSTATUS Volume::SetVolume(PIRP irp) {
    const auto& p = IoGetCurrentIrpStackLocation(irp)->Parameters.SetVolume;
    if (p.FsInformationClass != FileFsLabelInformation || !m_storage) return Complete(irp, STATUS_SUCCESS);
    const auto* info = static_cast<const FILE_FS_LABEL_INFORMATION*>(irp->AssociatedIrp.SystemBuffer);
    const ULONG header = offsetof(FILE_FS_LABEL_INFORMATION, VolumeLabel);
    if (!info || p.Length < header || info->VolumeLabelLength > p.Length - header ||
        info->VolumeLabelLength > MAXIMUM_VOLUME_LABEL_LENGTH || info->VolumeLabelLength % 2)
        return Complete(irp, STATUS_INVALID_PARAMETER);
    FillLabel(m_storage->Device()->Vpb, {info->VolumeLabel, info->VolumeLabelLength / sizeof(WCHAR)});
    return Complete(irp, STATUS_SUCCESS);
}

// ---------------------------------------------------------------------------
// FileSystem

FileSystem::FileSystem(FileSystemSpec spec) : m_spec(std::move(spec)) {}

FileSystem::~FileSystem() = default;

NTSTATUS FileSystem::Create() {
    NTSTATUS status = CreateSimDriver(m_spec.driver_name, &m_driver);
    if (!NT_SUCCESS(status)) return status;
    BuildFastIoTable();
    status = CreateSimDevice(m_driver, this, m_spec.device_name, m_spec.type, 0, &m_control);
    if (!NT_SUCCESS(status)) return status;
    if (IsNetwork()) {
        m_network = std::make_unique<Volume>(this, nullptr);
        m_network->SetDevice(m_control);
    }
    m_control->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

void FileSystem::BuildFastIoTable() {
    const auto wanted = [&](const char* name) {
        if (NeverInstalled(name)) return false;
        return m_spec.all_fast_io ||
               std::find(m_spec.fast_io.begin(), m_spec.fast_io.end(), name) != m_spec.fast_io.end();
    };
    bool any = false;
#define LUMETRA_INSTALL(i, field)              \
    if (wanted(#field)) {                      \
        InstallEntry<i>(m_fastIo.field);       \
        any = true;                            \
    }
    LUMETRA_FAST_IO_ENTRIES(LUMETRA_INSTALL)
#undef LUMETRA_INSTALL
    m_fastIo.SizeOfFastIoDispatch = m_spec.fast_io_size ? m_spec.fast_io_size : sizeof(FAST_IO_DISPATCH);
    m_driver->FastIoDispatch = any ? &m_fastIo : nullptr;
}

bool FileSystem::FastIo(std::size_t index) {
    if (m_network) return m_network->FastIo(index);
    CountFastIo(index);
    return false;  // nothing is opened on a local file system's control device
}

Volume* FileSystem::VolumeOf(PDEVICE_OBJECT storage) {
    std::lock_guard lock(m_volumesLock);
    const auto it = m_volumes.find(storage);
    return it == m_volumes.end() ? nullptr : it->second.get();
}

int FileSystem::CancelHeld() {
    std::vector<Volume*> volumes;
    {
        std::lock_guard lock(m_volumesLock);
        for (const auto& [storage, volume] : m_volumes) volumes.push_back(volume.get());
        for (const auto& volume : m_retired) volumes.push_back(volume.get());
        if (m_network) volumes.push_back(m_network.get());
    }
    int cancelled = 0;
    for (Volume* volume : volumes) cancelled += volume->Engine().CompleteHeld(RequestClass::Other, STATUS_CANCELLED, true);
    return cancelled;
}

NTSTATUS FileSystem::Dispatch(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    if (location->MajorFunction == IRP_MJ_FILE_SYSTEM_CONTROL) {
        if (location->MinorFunction == IRP_MN_MOUNT_VOLUME) return Mount(irp);
        if (location->MinorFunction == IRP_MN_LOAD_FILE_SYSTEM) return Complete(irp, STATUS_SUCCESS);
    }
    if (m_network) return m_network->Dispatch(device, irp);
    switch (location->MajorFunction) {
        case IRP_MJ_CREATE: return Complete(irp, STATUS_SUCCESS, FILE_OPENED);
        case IRP_MJ_CLEANUP:
        case IRP_MJ_CLOSE:
        case IRP_MJ_PNP: return Complete(irp, STATUS_SUCCESS);
        default: return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
    }
}

NTSTATUS FileSystem::Mount(PIRP irp) {
    const auto& p = IoGetCurrentIrpStackLocation(irp)->Parameters.MountVolume;
    auto* storage = dynamic_cast<StorageDevice*>(OwnerOf(p.DeviceObject));
    const bool ours = storage && storage->Spec().volume &&
                      plat::EqualsNoCase(storage->Spec().volume->file_system, m_spec.name);
    if (m_spec.recognizer || !ours) return Complete(irp, STATUS_UNRECOGNIZED_VOLUME);
    if (!storage->MediaPresent()) return Complete(irp, STATUS_NO_MEDIA_IN_DEVICE);
    const NTSTATUS status = MountOn(storage, p.Vpb);
    if (!m_spec.mount_at_dispatch) return Complete(irp, status);
    KIRQL old_irql;
    KeRaiseIrql(DISPATCH_LEVEL, &old_irql);
    Complete(irp, status);
    KeLowerIrql(old_irql);
    return status;
}

void FileSystem::ArmAttachFailures(PDEVICE_OBJECT storage, int count) {
    std::lock_guard lock(m_volumesLock);
    m_armedAttachFailures[storage] = count;
}

// Gives the VPB its volume device: the kept one on a remount, else a new one.
NTSTATUS FileSystem::MountOn(StorageDevice* storage, PVPB vpb) {
    std::lock_guard lock(m_volumesLock);
    const auto it = m_volumes.find(storage->Device());
    const VolumeSpec& spec = *storage->Spec().volume;
    if (it != m_volumes.end()) {
        it->second->SetDismounted(false);
        vpb->SerialNumber = spec.serial;  // filters refresh serial and label from the VPB on a remount
        FillLabel(vpb, spec.label);
        vpb->DeviceObject = it->second->Device();
        return STATUS_SUCCESS;
    }
    auto volume = std::make_unique<Volume>(this, storage);
    PDEVICE_OBJECT device = nullptr;
    const NTSTATUS status = CreateSimDevice(m_driver, volume.get(), u"", m_spec.type, 0, &device);
    if (!NT_SUCCESS(status)) return status;
    device->StackSize = static_cast<CCHAR>(storage->Device()->StackSize + 1);
    volume->SetDevice(device);
    vpb->SerialNumber = spec.serial;
    FillLabel(vpb, spec.label);
    vpb->DeviceObject = device;
    device->Vpb = vpb;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    if (const auto armed = m_armedAttachFailures.extract(storage->Device())) InjectAttachFailures(device, armed.mapped());
    m_volumes.emplace(storage->Device(), std::move(volume));
    return STATUS_SUCCESS;
}

NTSTATUS FileSystem::DeleteVolume(PDEVICE_OBJECT storage) {
    PDEVICE_OBJECT device = nullptr;
    {
        std::lock_guard lock(m_volumesLock);
        const auto it = m_volumes.find(storage);
        if (it == m_volumes.end()) return STATUS_NO_SUCH_DEVICE;
        PVPB vpb = storage->Vpb;
        vpb->Flags &= ~VPB_MOUNTED;
        vpb->DeviceObject = nullptr;
        device = it->second->Device();
        m_retired.push_back(std::move(it->second));
        m_volumes.erase(it);
    }
    IoDeleteDevice(device);  // filters above hear of it by fast I/O detach
    return STATUS_SUCCESS;
}

}  // namespace kern::sim
