// The Win32 calls through which user-mode programs reach the kernel host:
// opening a driver's control device or a volume by its "\\.\Name" path,
// DeviceIoControl on it, CloseHandle (cleanup and close travel to the
// drivers), and what a program asks of a drive letter. A program links this
// without the kernel emulation; the host runs in its own process.
//
// An event handle that a program passes in a control request stays the
// program's own: when a driver references it, the kernel asks this process
// about it, and when the driver sets it, this process's event is set.
#pragma once

#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/handle.h"
#include "base/nt_types.h"
#include "base/wintypes.h"
#include "kernel/drive_types.h"

// "\\.\Name" paths (a device or "X:" volume) reach the kernel host:
// ERROR_FILE_NOT_FOUND when no kernel host runs or the name does not exist.
// Every other path is an ordinary file (base/file_io.h).
HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security, DWORD disposition,
                   DWORD flags, HANDLE template_file);
// Synchronous only (overlapped must be null). A partial answer
// (STATUS_BUFFER_OVERFLOW) returns FALSE with ERROR_MORE_DATA and the bytes
// that fit, as Windows does.
BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD input_size, LPVOID output, DWORD output_size,
                     DWORD* bytes_returned, OVERLAPPED* overlapped);

// `root` is "X:\" (or "X:"). Space figures come from the volume's file
// system through the drivers.
UINT GetDriveTypeW(LPCWSTR root);
BOOL GetDiskFreeSpaceExW(LPCWSTR directory, ULARGE_INTEGER* caller_free, ULARGE_INTEGER* total,
                         ULARGE_INTEGER* total_free);
BOOL GetDiskFreeSpaceW(LPCWSTR root, DWORD* sectors_per_cluster, DWORD* bytes_per_sector, DWORD* free_clusters,
                       DWORD* total_clusters);

namespace kclient {

// The Win32 error a kernel status becomes (ERROR_MR_MID_NOT_FOUND-like
// values fall back to ERROR_GEN_FAILURE).
DWORD Win32ErrorFromStatus(NTSTATUS status);

// Runs a simulated-machine command on the kernel host (lumetra-kctl).
// False when no host answers; otherwise *status and *text hold its answer.
bool RunMachineCommand(const std::vector<std::string>& words, NTSTATUS* status, std::string* text);

// Where the volume of drive `root` ("X:\") is mounted on this machine, for
// the file manager the GUI starts. False with ERROR_PATH_NOT_FOUND when the
// letter is unknown, ERROR_NOT_READY when its volume has no mount point (not
// mounted, or a network letter of the simulated machine without one).
bool GetDriveMountPoint(LPCWSTR root, std::string* path);

// Whether the last DeviceIoControl of this thread was answered by fast I/O.
bool LastControlWasFastIo();

}  // namespace kclient
