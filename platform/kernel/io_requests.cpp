// The I/O manager's request paths for callers outside the drivers: file
// objects, creates, control requests, file requests, mounting and
// IoGetDeviceObjectPointer.
#include "kernel/io_requests.h"

#include <new>

#include "kernel/internal/device.h"
#include "kernel/internal/object.h"

namespace kern {
namespace {

using detail::HeaderOf;
using detail::kIrpOwnedByIoManager;

// Kernel-private state that follows each FILE_OBJECT in its allocation.
struct FileState {
    std::u16string name;  // FileName.Buffer points here
    bool opened = false;  // create succeeded: close is owed
    bool cleaned_up = false;
};

constexpr std::size_t kFileSpace = (sizeof(FILE_OBJECT) + 15) & ~std::size_t(15);

FileState* StateOf(PFILE_OBJECT file) {
    return reinterpret_cast<FileState*>(reinterpret_cast<BYTE*>(file) + kFileSpace);
}

PIRP NewIrp(PDEVICE_OBJECT top, PFILE_OBJECT file, UCHAR major, UCHAR minor, KPROCESSOR_MODE mode) {
    PIRP irp = IoAllocateIrp(top->StackSize, FALSE);
    irp->AllocationFlags |= kIrpOwnedByIoManager;
    irp->RequestorMode = mode;
    irp->Tail.Overlay.OriginalFileObject = file;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = major;
    next->MinorFunction = minor;
    next->FileObject = file;
    return irp;
}

void AttachSystemBuffer(PIRP irp, ULONG length, const void* input, ULONG input_length, void* output,
                        ULONG output_length) {
    const ULONG size = std::max(length, input_length);
    if (size == 0) return;
    auto* buffer = new BYTE[size]();
    if (input_length) std::memcpy(buffer, input, input_length);
    irp->AssociatedIrp.SystemBuffer = buffer;
    irp->Flags |= IRP_BUFFERED_IO | IRP_DEALLOCATE_BUFFER | (output && output_length ? IRP_INPUT_OPERATION : 0);
    irp->UserBuffer = output;
    irp->Overlay.AllocationSize.QuadPart = output_length;
}

// Sends the packet and waits for its final completion. A driver may answer
// with a non-pending status while a completion routine still holds the packet
// (STATUS_MORE_PROCESSING_REQUIRED, completed later from a work item), so the
// wait is always on the completion event, never on the returned status.
IO_STATUS_BLOCK CallAndWait(PDEVICE_OBJECT top, PIRP irp) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK iosb;
    irp->UserEvent = &done;
    irp->UserIosb = &iosb;
    IofCallDriver(top, irp);
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    return iosb;
}

NTSTATUS ReleaseClosedFile(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    (void)irp;
    ObfDereferenceObject(context);
    return STATUS_SUCCESS;
}

// Runs when the last reference to a file object goes. An opened file still
// owes its close: the object is kept alive by a new reference while the close
// travels (it may be completed later, at any IRQL), and a completion routine
// in an extra, top stack location drops that reference at the end.
// A reset discards the file without a close: no driver of it is left.
void DiscardFile(PVOID body) { StateOf(static_cast<PFILE_OBJECT>(body))->~FileState(); }

void FinishFile(PVOID body) {
    StateOf(static_cast<PFILE_OBJECT>(body))->~FileState();
    HeaderOf(body)->on_delete = nullptr;
}

void SendClose(PVOID body) {
    auto* file = static_cast<PFILE_OBJECT>(body);
    FileState* state = StateOf(file);
    if (!state->opened) {
        state->~FileState();
        return;
    }
    state->opened = false;
    HeaderOf(file)->on_delete = FinishFile;
    ObfReferenceObject(file);
    PDEVICE_OBJECT top = IoGetRelatedDeviceObject(file);
    PIRP irp = IoAllocateIrp(static_cast<CCHAR>(top->StackSize + 1), FALSE);
    irp->AllocationFlags |= kIrpOwnedByIoManager;
    irp->Tail.Overlay.OriginalFileObject = file;
    IoSetNextIrpStackLocation(irp);
    IoSetCompletionRoutine(irp, ReleaseClosedFile, file, TRUE, TRUE, TRUE);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_CLOSE;
    next->FileObject = file;
    IofCallDriver(top, irp);
}

PFILE_OBJECT NewFileObject(PDEVICE_OBJECT device, const std::u16string& name, ACCESS_MASK access,
                           PFILE_OBJECT related) {
    auto* file = static_cast<PFILE_OBJECT>(
        detail::CreateObject(detail::ObjectKind::File, kFileSpace + sizeof(FileState)));
    FileState* state = new (StateOf(file)) FileState;
    state->name = name;
    file->Type = IO_TYPE_FILE;
    file->Size = sizeof(FILE_OBJECT);
    file->DeviceObject = device;
    file->Vpb = (device->Vpb && (device->Vpb->Flags & VPB_MOUNTED)) ? device->Vpb : nullptr;
    file->RelatedFileObject = related;
    file->FileName = {USHORT(name.size() * 2), USHORT(name.size() * 2), state->name.data()};
    file->ReadAccess = (access & (FILE_READ_DATA | GENERIC_READ | GENERIC_ALL)) != 0;
    file->WriteAccess = (access & (FILE_WRITE_DATA | FILE_APPEND_DATA | GENERIC_WRITE | GENERIC_ALL)) != 0;
    KeInitializeEvent(&file->Event, NotificationEvent, FALSE);
    KeInitializeEvent(&file->Lock, SynchronizationEvent, FALSE);
    HeaderOf(file)->on_delete = SendClose;
    HeaderOf(file)->on_discard = DiscardFile;
    return file;
}

bool MountableBy(DEVICE_TYPE storage, DEVICE_TYPE fs) {
    switch (storage) {
        case FILE_DEVICE_DISK:
        case FILE_DEVICE_VIRTUAL_DISK: return fs == FILE_DEVICE_DISK_FILE_SYSTEM;
        case FILE_DEVICE_CD_ROM:
        case FILE_DEVICE_DVD: return fs == FILE_DEVICE_CD_ROM_FILE_SYSTEM;
        case FILE_DEVICE_TAPE: return fs == FILE_DEVICE_TAPE_FILE_SYSTEM;
        default: return false;
    }
}

}  // namespace

NTSTATUS MountVolume(PDEVICE_OBJECT storage) {
    RequireIrqlAtMost(PASSIVE_LEVEL, "MountVolume");
    PVPB vpb = storage->Vpb;
    if (!vpb) return STATUS_INVALID_DEVICE_REQUEST;
    if (vpb->Flags & VPB_MOUNTED) return STATUS_SUCCESS;
    for (PDEVICE_OBJECT fs : RegisteredFileSystems()) {
        if (!MountableBy(storage->DeviceType, fs->DeviceType)) continue;
        PDEVICE_OBJECT top = IoGetAttachedDevice(fs);
        PIRP irp = NewIrp(top, nullptr, IRP_MJ_FILE_SYSTEM_CONTROL, IRP_MN_MOUNT_VOLUME, KernelMode);
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
        next->Parameters.MountVolume.Vpb = vpb;
        next->Parameters.MountVolume.DeviceObject = storage;
        if (NT_SUCCESS(CallAndWait(top, irp).Status)) {
            vpb->Flags |= VPB_MOUNTED;
            return STATUS_SUCCESS;
        }
    }
    return STATUS_UNRECOGNIZED_VOLUME;
}

NTSTATUS OpenFile(const std::u16string& path, ACCESS_MASK access, KPROCESSOR_MODE mode, PFILE_OBJECT* out,
                  PFILE_OBJECT related) {
    RequireIrqlAtMost(PASSIVE_LEVEL, "OpenFile");
    *out = nullptr;
    PVOID object = nullptr;
    std::u16string remainder;
    NTSTATUS status = LookupObject(path, &object, &remainder);
    if (!NT_SUCCESS(status)) return status;
    if (HeaderOf(object)->kind != detail::ObjectKind::Device) {
        ObfDereferenceObject(object);
        return STATUS_OBJECT_TYPE_MISMATCH;
    }
    auto* device = static_cast<PDEVICE_OBJECT>(object);
    if (device->Vpb && !(device->Vpb->Flags & VPB_MOUNTED)) status = MountVolume(device);
    PFILE_OBJECT file = NT_SUCCESS(status) ? NewFileObject(device, remainder, access, related) : nullptr;
    ObfDereferenceObject(device);  // the file object's device stays alive with its driver
    if (!file) return status;
    PDEVICE_OBJECT top = IoGetRelatedDeviceObject(file);
    PIRP irp = NewIrp(top, file, IRP_MJ_CREATE, 0, mode);
    irp->Flags |= IRP_CREATE_OPERATION | IRP_SYNCHRONOUS_API;
    IO_SECURITY_CONTEXT security{nullptr, nullptr, access, 0};
    IoGetNextIrpStackLocation(irp)->Parameters.Create.SecurityContext = &security;
    status = CallAndWait(top, irp).Status;
    if (!NT_SUCCESS(status)) {
        ObfDereferenceObject(file);
        return status;
    }
    StateOf(file)->opened = true;
    *out = file;
    return status;
}

void CloseFile(PFILE_OBJECT file) {
    FileState* state = StateOf(file);
    if (state->opened && !state->cleaned_up) {
        state->cleaned_up = true;
        PDEVICE_OBJECT top = IoGetRelatedDeviceObject(file);
        CallAndWait(top, NewIrp(top, file, IRP_MJ_CLEANUP, 0, KernelMode));
    }
    ObfDereferenceObject(file);
}

ControlResult DeviceControl(PFILE_OBJECT file, ULONG code, const void* input, ULONG input_length, void* output,
                            ULONG output_length, KPROCESSOR_MODE mode) {
    RequireIrqlAtMost(PASSIVE_LEVEL, "DeviceControl");
    const ULONG needed = (code >> 14) & 3;
    if (((needed & FILE_READ_ACCESS) && !file->ReadAccess) || ((needed & FILE_WRITE_ACCESS) && !file->WriteAccess))
        return {STATUS_ACCESS_DENIED, 0, false};
    PDEVICE_OBJECT top = IoGetRelatedDeviceObject(file);
    const bool fsctl = DEVICE_TYPE_FROM_CTL_CODE(code) == FILE_DEVICE_FILE_SYSTEM;
    PFAST_IO_DISPATCH fast_io = top->DriverObject->FastIoDispatch;
    if (!fsctl && FAST_IO_ENTRY_PRESENT(fast_io, FastIoDeviceControl)) {
        IO_STATUS_BLOCK iosb;
        if (fast_io->FastIoDeviceControl(file, TRUE, const_cast<void*>(input), input_length, output, output_length,
                                         code, &iosb, top))
            return {iosb.Status, iosb.Information, true};
    }
    PIRP irp = NewIrp(top, file, fsctl ? IRP_MJ_FILE_SYSTEM_CONTROL : IRP_MJ_DEVICE_CONTROL,
                      fsctl ? IRP_MN_USER_FS_REQUEST : 0, mode);
    auto& parameters = IoGetNextIrpStackLocation(irp)->Parameters.DeviceIoControl;
    parameters.IoControlCode = code;
    parameters.InputBufferLength = input_length;
    parameters.OutputBufferLength = output_length;
    AttachSystemBuffer(irp, output_length, input, input_length, output, output_length);
    const IO_STATUS_BLOCK iosb = CallAndWait(top, irp);
    return {iosb.Status, std::min<ULONG_PTR>(iosb.Information, NT_ERROR(iosb.Status) ? 0 : output_length), false};
}

namespace {

PIRP BuildFileIrp(PFILE_OBJECT file, const FileRequest& request, PDEVICE_OBJECT* top, std::vector<BYTE>* output) {
    *top = IoGetRelatedDeviceObject(file);
    PIRP irp = NewIrp(*top, file, request.major, request.minor, KernelMode);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    // Read, Write, QueryFile, SetFile, QueryVolume and SetVolume all start
    // with the length followed by the information class (or key).
    next->Parameters.QueryFile.Length = request.length;
    next->Parameters.QueryFile.FileInformationClass = static_cast<FILE_INFORMATION_CLASS>(request.info_class);
    if (output) output->assign(request.length, 0);
    AttachSystemBuffer(irp, request.length, request.input.data(), ULONG(request.input.size()),
                       output ? output->data() : nullptr, request.length);
    return irp;
}

}  // namespace

IO_STATUS_BLOCK SendFileRequest(PFILE_OBJECT file, const FileRequest& request, std::vector<BYTE>* output) {
    RequireIrqlAtMost(PASSIVE_LEVEL, "SendFileRequest");
    PDEVICE_OBJECT top = nullptr;
    PIRP irp = BuildFileIrp(file, request, &top, output);
    const IO_STATUS_BLOCK iosb = CallAndWait(top, irp);
    if (output) output->resize(NT_ERROR(iosb.Status) ? 0 : std::min<std::size_t>(iosb.Information, output->size()));
    return iosb;
}

NTSTATUS StartFileRequest(PFILE_OBJECT file, const FileRequest& request) {
    PDEVICE_OBJECT top = nullptr;
    PIRP irp = BuildFileIrp(file, request, &top, nullptr);
    return IofCallDriver(top, irp);
}

std::optional<IO_STATUS_BLOCK> TryFastIo(PFILE_OBJECT file, FastIoKind kind, ULONG length) {
    PDEVICE_OBJECT top = IoGetRelatedDeviceObject(file);
    PFAST_IO_DISPATCH t = top->DriverObject->FastIoDispatch;
    IO_STATUS_BLOCK iosb;
    LARGE_INTEGER offset{};
    std::vector<BYTE> buffer(std::max<ULONG>(length, sizeof(FILE_NETWORK_OPEN_INFORMATION)));
    BOOLEAN handled = FALSE;
    switch (kind) {
        case FastIoKind::Read:
            if (FAST_IO_ENTRY_PRESENT(t, FastIoRead))
                handled = t->FastIoRead(file, &offset, length, TRUE, 0, buffer.data(), &iosb, top);
            break;
        case FastIoKind::Write:
            if (FAST_IO_ENTRY_PRESENT(t, FastIoWrite))
                handled = t->FastIoWrite(file, &offset, length, TRUE, 0, buffer.data(), &iosb, top);
            break;
        case FastIoKind::QueryBasicInfo:
            if (FAST_IO_ENTRY_PRESENT(t, FastIoQueryBasicInfo))
                handled = t->FastIoQueryBasicInfo(
                    file, TRUE, reinterpret_cast<PFILE_BASIC_INFORMATION>(buffer.data()), &iosb, top);
            break;
        case FastIoKind::QueryStandardInfo:
            if (FAST_IO_ENTRY_PRESENT(t, FastIoQueryStandardInfo))
                handled = t->FastIoQueryStandardInfo(
                    file, TRUE, reinterpret_cast<PFILE_STANDARD_INFORMATION>(buffer.data()), &iosb, top);
            break;
        case FastIoKind::QueryNetworkOpenInfo:
            if (FAST_IO_ENTRY_PRESENT(t, FastIoQueryNetworkOpenInfo))
                handled = t->FastIoQueryNetworkOpenInfo(
                    file, TRUE, reinterpret_cast<PFILE_NETWORK_OPEN_INFORMATION>(buffer.data()), &iosb, top);
            break;
    }
    if (!handled) return std::nullopt;
    return iosb;
}

NTSTATUS SendDeviceRequest(PDEVICE_OBJECT device, UCHAR major, UCHAR minor) {
    RequireIrqlAtMost(PASSIVE_LEVEL, "SendDeviceRequest");
    PDEVICE_OBJECT top = IoGetAttachedDevice(device);
    return CallAndWait(top, NewIrp(top, nullptr, major, minor, KernelMode)).Status;
}

}  // namespace kern

// Opens the named device as a create would and returns the top of its stack;
// the open is cleaned up at once, so dropping the file object closes it.
extern "C" NTSTATUS IoGetDeviceObjectPointer(PUNICODE_STRING name, ACCESS_MASK access, PFILE_OBJECT* file,
                                             PDEVICE_OBJECT* device) {
    kern::RequireIrqlAtMost(PASSIVE_LEVEL, "IoGetDeviceObjectPointer");
    PFILE_OBJECT opened = nullptr;
    const NTSTATUS status = kern::OpenFile(kern::ToU16(name), access, KernelMode, &opened);
    if (!NT_SUCCESS(status)) return status;
    ObfReferenceObject(opened);
    kern::CloseFile(opened);  // cleanup now, as NT closes the handle it opened
    *file = opened;
    *device = IoGetRelatedDeviceObject(opened);
    return STATUS_SUCCESS;
}
