#include "service/power_status.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "scoped_root.h"
#include "service/version.h"

namespace {

// A power-supply entry: attribute name -> content.
using Entry = std::map<std::string, std::string>;

struct Case {
    const char* what;
    std::map<std::string, Entry> supplies;
    BYTE acLine;
    BYTE batteryFlag;
    BYTE percent;
};

void Build(const std::string& root, const std::map<std::string, Entry>& supplies) {
    for (const auto& [name, attributes] : supplies) {
        std::filesystem::create_directories(root + "/" + name);
        for (const auto& [attribute, value] : attributes) std::ofstream(root + "/" + name + "/" + attribute) << value << "\n";
    }
}

TEST(PowerStatus, TheAcLineAndBatteryComeFromThePowerSupplyClass) {
    const Case cases[] = {
        {"no supplies: a mains machine", {}, AC_LINE_ONLINE, BATTERY_FLAG_NO_BATTERY, BATTERY_PERCENTAGE_UNKNOWN},
        {"mains online", {{"AC", {{"type", "Mains"}, {"online", "1"}}}}, AC_LINE_ONLINE, BATTERY_FLAG_NO_BATTERY,
         BATTERY_PERCENTAGE_UNKNOWN},
        {"mains offline, battery discharging",
         {{"AC", {{"type", "Mains"}, {"online", "0"}}},
          {"BAT0", {{"type", "Battery"}, {"status", "Discharging"}, {"capacity", "80"}}}},
         AC_LINE_OFFLINE, BATTERY_FLAG_HIGH, 80},
        {"charging over USB while mains is offline",
         {{"AC", {{"type", "Mains"}, {"online", "0"}}},
          {"ucsi", {{"type", "USB"}, {"online", "1"}}},
          {"BAT0", {{"type", "Battery"}, {"status", "Charging"}, {"capacity", "50"}}}},
         AC_LINE_ONLINE, BATTERY_FLAG_CHARGING, 50},
        {"only a discharging battery, nearly empty",
         {{"BAT1", {{"type", "Battery"}, {"status", "Discharging"}, {"capacity", "3"}}}}, AC_LINE_OFFLINE,
         BATTERY_FLAG_LOW | BATTERY_FLAG_CRITICAL, 3},
        {"a battery without capacity", {{"BAT0", {{"type", "Battery"}, {"status", "Full"}}}}, AC_LINE_ONLINE,
         BATTERY_FLAG_UNKNOWN, BATTERY_PERCENTAGE_UNKNOWN},
    };
    for (const Case& c : cases) {
        ScopedRoot root;
        const std::string dir = root.Dir() + "/power_supply";
        Build(dir, c.supplies);
        plat::ScopedPowerSupplyRoot use(dir);
        SYSTEM_POWER_STATUS status;
        SYSTEM_POWER_STATUS poison{0xCC, 0xCC, 0xCC, 0xCC, 0xCCCCCCCC, 0xCCCCCCCC};
        status = poison;
        ASSERT_TRUE(GetSystemPowerStatus(&status)) << c.what;
        EXPECT_EQ(status.ACLineStatus, c.acLine) << c.what;
        EXPECT_EQ(status.BatteryFlag, c.batteryFlag) << c.what;
        EXPECT_EQ(status.BatteryLifePercent, c.percent) << c.what;
        EXPECT_EQ(status.SystemStatusFlag, 0) << c.what;
        EXPECT_EQ(status.BatteryLifeTime, BATTERY_LIFE_UNKNOWN) << c.what;
    }
    EXPECT_FALSE(GetSystemPowerStatus(nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Version, ReportsWindowsXpUnlessATestSaysOtherwise) {
    EXPECT_EQ(GetVersion(), 0x0A280105u);
    {
        plat::ScopedReportedVersion vista({6, 0, 6000});
        EXPECT_EQ(GetVersion(), 0x17700006u);
    }
    EXPECT_EQ(GetVersion(), 0x0A280105u);
}

}  // namespace
