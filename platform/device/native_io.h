// The native file interface to device objects: opening a device by its NT
// name (\Device\Harddisk0\DR0), device control requests, the device's type
// and characteristics, and the object namespace's symbolic links. Every call
// returns an NTSTATUS and never throws; bad handles, buffers and lengths get
// the status a Windows driver gives them.
//
// Share modes are accepted and not enforced: like disk drivers, every device
// here allows shared opens.
//
// Names are looked up without regard to case (as the object manager does by
// default). NtOpenFile follows symbolic links in the name; a chain deeper
// than 32 links fails with STATUS_OBJECT_NAME_NOT_FOUND. Only absolute names
// (RootDirectory null) are supported; a root directory gives
// STATUS_OBJECT_PATH_SYNTAX_BAD.
//
// Device handles are closed with NtClose (base/nt_types.h), which first
// completes a request still pending on them, and may be waited on with
// NtWaitForSingleObject (base/nt_wait.h): a device handle is signalled while no request on
// it is pending.
//
// Which devices exist is decided by the active backend (device/backend.h):
// simulated drives from a profile, or the real drives of this machine.
//
// Thread rule: all calls are safe from any thread. Requests on one handle
// are carried out one at a time in the order they are issued.
#pragma once

#include "base/nt_types.h"
#include "base/nt_wait.h"
#include "base/ntstatus.h"
#include "base/wintypes.h"
#include "device/device_types.h"

// Access rights.
constexpr ACCESS_MASK FILE_READ_DATA = 0x0001;
constexpr ACCESS_MASK FILE_WRITE_DATA = 0x0002;
constexpr ACCESS_MASK FILE_READ_ATTRIBUTES = 0x0080;
constexpr ACCESS_MASK SYMBOLIC_LINK_QUERY = 0x0001;

// Share modes.
constexpr ULONG FILE_SHARE_READ = 0x00000001;
constexpr ULONG FILE_SHARE_WRITE = 0x00000002;
constexpr ULONG FILE_SHARE_DELETE = 0x00000004;

// Open options.
constexpr ULONG FILE_DIRECTORY_FILE = 0x00000001;
constexpr ULONG FILE_WRITE_THROUGH = 0x00000002;
constexpr ULONG FILE_SYNCHRONOUS_IO_ALERT = 0x00000010;
constexpr ULONG FILE_SYNCHRONOUS_IO_NONALERT = 0x00000020;
constexpr ULONG FILE_NON_DIRECTORY_FILE = 0x00000040;

using PIO_APC_ROUTINE = void (*)(PVOID context, IO_STATUS_BLOCK* io_status, ULONG reserved);

// Opens the device object `attributes->ObjectName`. A device object is not a
// directory: FILE_DIRECTORY_FILE gives STATUS_NOT_A_DIRECTORY. Names that
// do not exist give STATUS_OBJECT_NAME_NOT_FOUND, and the status block's
// Information is FILE_OPENED (1) on success. The handle is closed with
// NtClose (or CloseHandle) and may be waited on: it is signalled while no
// request on it is pending.
NTSTATUS NtOpenFile(HANDLE* file_handle, ACCESS_MASK desired_access, OBJECT_ATTRIBUTES* attributes,
                    IO_STATUS_BLOCK* io_status, ULONG share_access, ULONG open_options);

// Sends a control request. The input is read completely before any output
// is written, so input and output may be the same buffer. On completion the
// status block holds the final status and the bytes written to the output
// buffer. A device may answer STATUS_PENDING: the status block then reads
// STATUS_PENDING until the request completes; wait for it with
// NtWaitForSingleObject on the file handle (or on `event`, which is reset
// when the request starts and set when it completes). `apc_routine` is not
// supported and must be null (STATUS_INVALID_PARAMETER otherwise).
NTSTATUS NtDeviceIoControlFile(HANDLE file_handle, HANDLE event, PIO_APC_ROUTINE apc_routine, PVOID apc_context,
                               IO_STATUS_BLOCK* io_status, ULONG io_control_code, PVOID input_buffer,
                               ULONG input_buffer_length, PVOID output_buffer, ULONG output_buffer_length);

// Only FileFsDeviceInformation is answered (STATUS_INVALID_INFO_CLASS for
// the others); a buffer shorter than 8 bytes gives STATUS_INFO_LENGTH_MISMATCH.
NTSTATUS NtQueryVolumeInformationFile(HANDLE file_handle, IO_STATUS_BLOCK* io_status, PVOID fs_information,
                                      ULONG length, FS_INFORMATION_CLASS fs_information_class);

// Opens a symbolic link of the object namespace. A name that exists but is
// not a link gives STATUS_OBJECT_TYPE_MISMATCH; a missing one
// STATUS_OBJECT_NAME_NOT_FOUND.
NTSTATUS NtOpenSymbolicLinkObject(HANDLE* link_handle, ACCESS_MASK desired_access, OBJECT_ATTRIBUTES* attributes);

// Copies the link's target into link_target->Buffer (MaximumLength bytes),
// sets link_target->Length, and adds a terminating NUL when it fits. When
// the target does not fit, nothing is copied and the result is
// STATUS_BUFFER_TOO_SMALL. `returned_length`, when given, receives the bytes
// the target needs including its terminating NUL, in either case.
NTSTATUS NtQuerySymbolicLinkObject(HANDLE link_handle, UNICODE_STRING* link_target, ULONG* returned_length);

constexpr ULONG_PTR FILE_OPENED = 1;
