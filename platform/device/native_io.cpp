// The native calls: argument checks and name resolution here, the request
// work in FileObject and the backend.
#include "device/native_io.h"

#include <cstring>
#include <optional>

#include "device/backend.h"
#include "device/internal/file_object.h"

using plat::device::ActiveBackend;
using plat::device::DeviceFile;
using plat::device::detail::FileObject;
using plat::device::detail::LinkObject;

namespace {

constexpr int kMaxLinkDepth = 32;

// The absolute name an OBJECT_ATTRIBUTES names, or the status that says why
// it names none.
NTSTATUS NameOf(const OBJECT_ATTRIBUTES* attributes, std::u16string* name) {
    if (!attributes || !attributes->ObjectName) return STATUS_INVALID_PARAMETER;
    const UNICODE_STRING& s = *attributes->ObjectName;
    if ((s.Length & 1) || s.Length > s.MaximumLength || (s.Length && !s.Buffer)) return STATUS_OBJECT_NAME_INVALID;
    if (attributes->RootDirectory) return STATUS_OBJECT_PATH_SYNTAX_BAD;
    name->assign(s.Buffer, s.Buffer + s.Length / 2);
    if (name->empty() || name->front() != u'\\') return STATUS_OBJECT_PATH_SYNTAX_BAD;
    return STATUS_SUCCESS;
}

// Follows symbolic links until a name that is not a link.
std::optional<std::u16string> Resolve(plat::device::Backend& backend, std::u16string name) {
    for (int depth = 0; depth <= kMaxLinkDepth; ++depth) {
        auto target = backend.LinkTarget(name);
        if (!target) return name;
        name = std::move(*target);
    }
    return std::nullopt;
}

bool Grants(ACCESS_MASK desired, ACCESS_MASK generic, ACCESS_MASK specific) {
    return desired & (generic | specific | GENERIC_ALL | MAXIMUM_ALLOWED);
}

}  // namespace

NTSTATUS NtOpenFile(HANDLE* file_handle, ACCESS_MASK desired_access, OBJECT_ATTRIBUTES* attributes,
                    IO_STATUS_BLOCK* io_status, ULONG /*share_access*/, ULONG open_options) {
    if (!file_handle || !io_status) return STATUS_INVALID_PARAMETER;
    *file_handle = nullptr;
    std::u16string name;
    if (NTSTATUS status = NameOf(attributes, &name); !NT_SUCCESS(status)) return status;
    if (open_options & FILE_DIRECTORY_FILE) return STATUS_NOT_A_DIRECTORY;

    auto backend = ActiveBackend();
    const auto device_name = Resolve(*backend, std::move(name));
    if (!device_name) return STATUS_OBJECT_NAME_NOT_FOUND;
    std::shared_ptr<DeviceFile> file;
    if (NTSTATUS status = backend->Open(*device_name, &file); !NT_SUCCESS(status)) return status;
    *file_handle = plat::RegisterHandle(
        std::make_shared<FileObject>(std::move(file), Grants(desired_access, GENERIC_READ, FILE_READ_DATA),
                                     Grants(desired_access, GENERIC_WRITE, FILE_WRITE_DATA)));
    io_status->Status = STATUS_SUCCESS;
    io_status->Information = FILE_OPENED;
    return STATUS_SUCCESS;
}

NTSTATUS NtDeviceIoControlFile(HANDLE file_handle, HANDLE event, PIO_APC_ROUTINE apc_routine, PVOID /*apc_context*/,
                               IO_STATUS_BLOCK* io_status, ULONG io_control_code, PVOID input_buffer,
                               ULONG input_buffer_length, PVOID output_buffer, ULONG output_buffer_length) {
    const auto handle_object = plat::LookupHandle(file_handle);
    if (!handle_object) return STATUS_INVALID_HANDLE;
    const auto file = std::dynamic_pointer_cast<FileObject>(handle_object);
    if (!file) return STATUS_OBJECT_TYPE_MISMATCH;
    if (apc_routine || !io_status) return STATUS_INVALID_PARAMETER;
    if ((input_buffer_length && !input_buffer) || (output_buffer_length && !output_buffer))
        return STATUS_INVALID_PARAMETER;
    return file->Control(event, io_status, io_control_code, input_buffer, input_buffer_length, output_buffer,
                         output_buffer_length);
}

NTSTATUS NtQueryVolumeInformationFile(HANDLE file_handle, IO_STATUS_BLOCK* io_status, PVOID fs_information,
                                      ULONG length, FS_INFORMATION_CLASS fs_information_class) {
    const auto handle_object = plat::LookupHandle(file_handle);
    if (!handle_object) return STATUS_INVALID_HANDLE;
    const auto file = std::dynamic_pointer_cast<FileObject>(handle_object);
    if (!file) return STATUS_OBJECT_TYPE_MISMATCH;
    if (!io_status || !fs_information) return STATUS_INVALID_PARAMETER;
    if (fs_information_class != FileFsDeviceInformation) return STATUS_INVALID_INFO_CLASS;
    if (length < sizeof(FILE_FS_DEVICE_INFORMATION)) return STATUS_INFO_LENGTH_MISMATCH;
    const FILE_FS_DEVICE_INFORMATION info = file->DeviceInformation();
    std::memcpy(fs_information, &info, sizeof info);
    io_status->Status = STATUS_SUCCESS;
    io_status->Information = sizeof info;
    return STATUS_SUCCESS;
}

NTSTATUS NtOpenSymbolicLinkObject(HANDLE* link_handle, ACCESS_MASK /*desired_access*/, OBJECT_ATTRIBUTES* attributes) {
    if (!link_handle) return STATUS_INVALID_PARAMETER;
    *link_handle = nullptr;
    std::u16string name;
    if (NTSTATUS status = NameOf(attributes, &name); !NT_SUCCESS(status)) return status;
    auto backend = ActiveBackend();
    auto target = backend->LinkTarget(name);
    if (!target) return backend->DeviceExists(name) ? STATUS_OBJECT_TYPE_MISMATCH : STATUS_OBJECT_NAME_NOT_FOUND;
    *link_handle = plat::RegisterHandle(std::make_shared<LinkObject>(std::move(*target)));
    return STATUS_SUCCESS;
}

NTSTATUS NtQuerySymbolicLinkObject(HANDLE link_handle, UNICODE_STRING* link_target, ULONG* returned_length) {
    const auto handle_object = plat::LookupHandle(link_handle);
    if (!handle_object) return STATUS_INVALID_HANDLE;
    const auto link = std::dynamic_pointer_cast<LinkObject>(handle_object);
    if (!link) return STATUS_OBJECT_TYPE_MISMATCH;
    if (!link_target || (link_target->MaximumLength && !link_target->Buffer)) return STATUS_INVALID_PARAMETER;
    const std::u16string& target = link->Target();
    const ULONG bytes = static_cast<ULONG>(target.size() * sizeof(WCHAR));
    if (returned_length) *returned_length = bytes + sizeof(WCHAR);
    if (bytes > link_target->MaximumLength) return STATUS_BUFFER_TOO_SMALL;
    std::memcpy(link_target->Buffer, target.data(), bytes);
    link_target->Length = static_cast<USHORT>(bytes);
    if (bytes + sizeof(WCHAR) <= link_target->MaximumLength) link_target->Buffer[target.size()] = 0;
    return STATUS_SUCCESS;
}
