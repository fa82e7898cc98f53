#include "service/power_status.h"

#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <utility>

#include "base/last_error.h"
#include "base/win_errors.h"

namespace {

std::mutex g_rootMutex;  // guards g_root
std::string g_root = "/sys/class/power_supply";

std::string Root() {
    std::lock_guard lock(g_rootMutex);
    return g_root;
}

std::optional<std::string> ReadAttribute(const std::filesystem::path& entry, const char* name) {
    std::ifstream in(entry / name);
    std::string value;
    if (!in || !std::getline(in, value)) return std::nullopt;
    return value;
}

// What the power-supply entries say, gathered in one pass.
struct Supplies {
    bool anyExternal = false;
    bool externalOnline = false;
    bool anyBattery = false;
    bool discharging = false;
    bool charging = false;
    std::optional<int> percent;
};

void AddBattery(Supplies& s, const std::filesystem::path& entry) {
    if (s.anyBattery) return;  // the first battery speaks for the machine
    s.anyBattery = true;
    const auto status = ReadAttribute(entry, "status");
    s.discharging = status == "Discharging";
    s.charging = status == "Charging";
    if (const auto capacity = ReadAttribute(entry, "capacity")) {
        try {
            const int v = std::stoi(*capacity);
            if (v >= 0 && v <= 100) s.percent = v;
        } catch (const std::exception&) {
        }
    }
}

Supplies ReadSupplies(const std::string& root) {
    Supplies s;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(root, ec)) {
        const auto type = ReadAttribute(entry.path(), "type");
        if (!type) continue;
        if (*type == "Battery") {
            AddBattery(s, entry.path());
            continue;
        }
        const auto online = ReadAttribute(entry.path(), "online");
        if (!online) continue;
        s.anyExternal = true;
        s.externalOnline = s.externalOnline || *online == "1";
    }
    return s;
}

BYTE AcLine(const Supplies& s) {
    if (s.anyExternal) return s.externalOnline ? AC_LINE_ONLINE : AC_LINE_OFFLINE;
    return s.anyBattery && s.discharging ? AC_LINE_OFFLINE : AC_LINE_ONLINE;
}

BYTE BatteryFlag(const Supplies& s) {
    if (!s.anyBattery) return BATTERY_FLAG_NO_BATTERY;
    if (!s.percent) return BATTERY_FLAG_UNKNOWN;
    BYTE flag = *s.percent > 66 ? BATTERY_FLAG_HIGH : 0;
    if (*s.percent < 33) flag |= BATTERY_FLAG_LOW;
    if (*s.percent < 5) flag |= BATTERY_FLAG_CRITICAL;
    if (s.charging) flag |= BATTERY_FLAG_CHARGING;
    return flag;
}

}  // namespace

BOOL GetSystemPowerStatus(SYSTEM_POWER_STATUS* status) {
    if (!status) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const Supplies s = ReadSupplies(Root());
    *status = SYSTEM_POWER_STATUS{};
    status->ACLineStatus = AcLine(s);
    status->BatteryFlag = BatteryFlag(s);
    status->BatteryLifePercent = s.percent ? static_cast<BYTE>(*s.percent) : BATTERY_PERCENTAGE_UNKNOWN;
    status->BatteryLifeTime = BATTERY_LIFE_UNKNOWN;
    status->BatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
    return TRUE;
}

namespace plat {

ScopedPowerSupplyRoot::ScopedPowerSupplyRoot(std::string directory) {
    std::lock_guard lock(g_rootMutex);
    m_previous = std::exchange(g_root, std::move(directory));
}

ScopedPowerSupplyRoot::~ScopedPowerSupplyRoot() {
    std::lock_guard lock(g_rootMutex);
    g_root = std::move(m_previous);
}

}  // namespace plat
