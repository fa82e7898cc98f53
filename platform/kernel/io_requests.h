// Requests a caller outside the drivers sends through the I/O manager: opening
// a named device or file (IRP_MJ_CREATE down the stack of the device, mounting
// a storage device's volume first when needed), device and file-system
// control (fast I/O first, then a request packet), file requests of every
// class, cleanup and close, and mounting. The host serves user-mode clients
// and drives the simulated machine with these.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kernel/kernel.h"

namespace kern {

// Opens `path` ("\DosDevices\Blinkor", "\??\C:\dir\file", "\Device\X") and
// returns a referenced file object. `mode` is the requester mode the drivers
// see. `related` becomes the new file object's RelatedFileObject.
NTSTATUS OpenFile(const std::u16string& path, ACCESS_MASK access, KPROCESSOR_MODE mode, PFILE_OBJECT* file,
                  PFILE_OBJECT related = nullptr);
// Sends cleanup and drops the caller's reference; close follows when the
// last reference goes.
void CloseFile(PFILE_OBJECT file);

// DeviceIoControl on an open file. Codes of device type FILE_DEVICE_FILE_SYSTEM
// travel as IRP_MJ_FILE_SYSTEM_CONTROL, others as IRP_MJ_DEVICE_CONTROL after
// the top driver's FastIoDeviceControl declined. The access bits of the code
// are checked against the open's access first.
struct ControlResult {
    NTSTATUS status = STATUS_SUCCESS;
    ULONG_PTR information = 0;
    bool fast_io = false;  // answered by FastIoDeviceControl
};
ControlResult DeviceControl(PFILE_OBJECT file, ULONG code, const void* input, ULONG input_length, void* output,
                            ULONG output_length, KPROCESSOR_MODE mode);

// A file request of any major function. `input` fills the system buffer
// (set-class requests); the buffer has `length` bytes (at least the input).
struct FileRequest {
    UCHAR major = IRP_MJ_READ;
    UCHAR minor = 0;
    ULONG info_class = 0;  // FileInformationClass / FsInformationClass
    ULONG length = 0;
    std::vector<BYTE> input;
};
// Sends the request and waits for its completion. `output` receives
// Information bytes of the system buffer when given.
IO_STATUS_BLOCK SendFileRequest(PFILE_OBJECT file, const FileRequest& request, std::vector<BYTE>* output = nullptr);
// Sends the request without waiting; the packet frees itself on completion.
// Returns what the top driver returned (STATUS_PENDING while it is held).
NTSTATUS StartFileRequest(PFILE_OBJECT file, const FileRequest& request);

// The fast I/O entries a caller can try before building a packet.
enum class FastIoKind { Read, Write, QueryBasicInfo, QueryStandardInfo, QueryNetworkOpenInfo };
// Calls the top driver's entry; nullopt when the driver has none (size too
// small or entry unset) or the entry answered FALSE.
std::optional<IO_STATUS_BLOCK> TryFastIo(PFILE_OBJECT file, FastIoKind kind, ULONG length);

// Mounts the volume of a storage device: the mount request goes down the
// stack of each active file system of the matching kind until one accepts.
NTSTATUS MountVolume(PDEVICE_OBJECT storage);
// Sends a request with no file object (PnP, load-file-system) to the top of
// `device`'s stack and waits.
NTSTATUS SendDeviceRequest(PDEVICE_OBJECT device, UCHAR major, UCHAR minor);

}  // namespace kern
