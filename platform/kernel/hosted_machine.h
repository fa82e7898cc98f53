// The machine a kernel host serves: the simulated machine of a scenario, or
// the real Linux machine the host runs on. Clients ask it to run commands
// (lumetra-kctl) and what a drive letter is (GetDriveTypeW,
// GetDiskFreeSpaceExW and the letter's mount point).
//
// Thread rule: both calls may come from several client threads at once.
#pragma once

#include <string>
#include <vector>

#include "kernel/drive_types.h"
#include "kernel/ntddk.h"

namespace kern {

struct DriveInfo {
    UINT type = DRIVE_NO_ROOT_DIR;
    NTSTATUS space_status = STATUS_OBJECT_NAME_NOT_FOUND;  // of the free-space query
    ULONGLONG total_bytes = 0;
    ULONGLONG free_bytes = 0;
    std::string mount_point;  // where the volume is mounted on this machine; empty when unknown
};

struct CommandResult {
    NTSTATUS status = STATUS_SUCCESS;
    std::string text;
};

class HostedMachine {
public:
    virtual ~HostedMachine() = default;
    virtual CommandResult Execute(const std::vector<std::string>& args) = 0;
    virtual DriveInfo QueryDrive(WCHAR letter) = 0;
};

}  // namespace kern
