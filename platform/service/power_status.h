// GetSystemPowerStatus from the kernel's power-supply class
// (/sys/class/power_supply). The AC line is online when any external supply
// (a "Mains", "USB" or other non-battery entry) reports online = 1, offline
// when external supplies exist and none is online or when the only supplies
// are batteries that discharge; a machine that lists no supply at all runs on
// mains. Battery flags and percentage come from the first battery.
#pragma once

#include <string>

#include "base/wintypes.h"

struct SYSTEM_POWER_STATUS {
    BYTE ACLineStatus = 0;        // 0 offline, 1 online, 255 unknown
    BYTE BatteryFlag = 0;         // 1 high, 2 low, 4 critical, 8 charging, 128 no battery, 255 unknown
    BYTE BatteryLifePercent = 0;  // 0 to 100, 255 unknown
    BYTE SystemStatusFlag = 0;
    DWORD BatteryLifeTime = 0;      // seconds, 0xFFFFFFFF unknown
    DWORD BatteryFullLifeTime = 0;  // seconds, 0xFFFFFFFF unknown
};
static_assert(sizeof(SYSTEM_POWER_STATUS) == 12);

constexpr BYTE AC_LINE_OFFLINE = 0;
constexpr BYTE AC_LINE_ONLINE = 1;
constexpr BYTE AC_LINE_UNKNOWN = 255;
constexpr BYTE BATTERY_FLAG_HIGH = 1;
constexpr BYTE BATTERY_FLAG_LOW = 2;
constexpr BYTE BATTERY_FLAG_CRITICAL = 4;
constexpr BYTE BATTERY_FLAG_CHARGING = 8;
constexpr BYTE BATTERY_FLAG_NO_BATTERY = 128;
constexpr BYTE BATTERY_FLAG_UNKNOWN = 255;
constexpr BYTE BATTERY_PERCENTAGE_UNKNOWN = 255;
constexpr DWORD BATTERY_LIFE_UNKNOWN = 0xFFFFFFFFu;

// FALSE with ERROR_INVALID_PARAMETER for a null record; otherwise TRUE.
BOOL GetSystemPowerStatus(SYSTEM_POWER_STATUS* status);

namespace plat {

// Reads the power supplies below `directory` instead of /sys/class/power_supply
// for the lifetime of the guard (tests build a tree of entries there).
class ScopedPowerSupplyRoot {
public:
    explicit ScopedPowerSupplyRoot(std::string directory);
    ~ScopedPowerSupplyRoot();
    ScopedPowerSupplyRoot(const ScopedPowerSupplyRoot&) = delete;
    ScopedPowerSupplyRoot& operator=(const ScopedPowerSupplyRoot&) = delete;

private:
    std::string m_previous;
};

}  // namespace plat
