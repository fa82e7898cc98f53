// The service database: one registry key per service under HKEY_LOCAL_MACHINE
// "SYSTEM\CurrentControlSet\Services", with the values Windows keeps there
// ("Type", "Start", "ErrorControl", "ImagePath", "DisplayName", "ObjectName")
// and "Unit", the name of the service's systemd unit file. The last status a
// service reported lives in the volatile sub key "Runtime" as the binary value
// "Status" (layout in docs/service.md), so it vanishes at reboot. Internal to
// the service piece.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "service/winsvc.h"

namespace plat::service::detail {

inline constexpr char16_t kServicesKey[] = u"SYSTEM\\CurrentControlSet\\Services";

struct ServiceConfig {
    std::u16string name;  // as first created
    std::u16string displayName;
    std::u16string imagePath;
    DWORD type = SERVICE_WIN32_OWN_PROCESS;
    DWORD start = SERVICE_DEMAND_START;
    DWORD errorControl = SERVICE_ERROR_NORMAL;
    std::u16string account;  // "LocalSystem" or a local user name
    std::u16string unit;     // file name of the systemd unit
};

// What SetServiceStatus stored, with the process that stored it.
struct StatusRecord {
    SERVICE_STATUS status;
    DWORD processId = 0;
    std::uint64_t processStart = 0;  // the process's start time, to tell a reused id
};
inline constexpr std::size_t kStatusRecordBytes = 44;

// ERROR_INVALID_NAME unless 1 to 256 characters without '\' or '/'.
DWORD CheckServiceName(std::u16string_view name);

// ERROR_SUCCESS when this process may change the database, else ERROR_ACCESS_DENIED.
DWORD CheckWritable();

// ERROR_SERVICE_DOES_NOT_EXIST when there is no such service.
DWORD ReadConfig(std::u16string_view name, ServiceConfig* config);

// Records a new service; ERROR_SERVICE_EXISTS when the name is taken.
DWORD CreateConfig(const ServiceConfig& config);

// Removes the service's key with everything below it.
DWORD DeleteConfig(std::u16string_view name);

DWORD WriteStatus(std::u16string_view name, const StatusRecord& record);
std::optional<StatusRecord> ReadStatus(std::u16string_view name);

// True while process `pid` runs and started at `start` (0: any start time).
bool ProcessAlive(DWORD pid, std::uint64_t start);
// The start time of a process (clock ticks after boot, /proc/<pid>/stat), 0 if unknown.
std::uint64_t ProcessStartTime(DWORD pid);

}  // namespace plat::service::detail
