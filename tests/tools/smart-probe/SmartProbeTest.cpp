#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ProbeReport.h"
#include "base/clock.h"
#include "device/sim_machine.h"
#include "engine/CSmartFliegendeUntertasse.h"

namespace {

TEST(ProbeReport, JsonCarriesEveryRecordFieldAndOperationResults) {
    plat::ScopedManualClock clock;
    plat::device::ScopedSimulation sim;
    CSmartFliegendeUntertasse engine;
    engine.UseHistory(false);
    SmartDevice* list = engine.GetDevices();
    ASSERT_NE(list, nullptr);
    std::vector<ProbedDevice> probed;
    for (SmartDevice* d = list; d; d = d->next) {
        probed.push_back({d, {{"capabilities", engine.ReadCapabilities(d)}, {"status", engine.ReadStatus(d)}}});
    }
    const auto json = nlohmann::json::parse(JsonReport(probed));
    const std::string text = TextReport(probed);
    FreeSmartDeviceList(list);

    const auto& devices = json.at("devices");
    ASSERT_EQ(devices.size(), 5u);
    const auto& disk = devices[0];
    for (const char* key : {"server_id", "device_type", "device_number", "model", "firmware", "serial", "flags",
                            "flag_names", "collect_time", "short_test_time", "extended_test_time",
                            "conveyance_test_time", "port", "path", "target", "lun", "ata_level", "counters",
                            "health", "attributes", "operations"}) {
        EXPECT_TRUE(disk.contains(key)) << key;
    }
    EXPECT_EQ(disk["model"], "KORVANE KV7200-500G");
    EXPECT_EQ(disk["operations"]["capabilities"], true);
    EXPECT_EQ(disk["operations"]["status"], true);
    EXPECT_EQ(disk["health"], 1);
    EXPECT_EQ(disk["counters"]["power_on_hours"], 10512);
    const auto& names = disk["flag_names"];
    EXPECT_NE(std::find(names.begin(), names.end(), "SMART_FLAG_ENABLED"), names.end());
    const auto& first = disk["attributes"][0];
    EXPECT_EQ(first["id"], 1);
    EXPECT_EQ(first["name"], "Read Error Rate");
    EXPECT_EQ(first["raw"], 148103212);
    EXPECT_EQ(first["threshold"], 6);
    EXPECT_FALSE(first.contains("temperature"));
    for (const auto& a : disk["attributes"]) {
        if (a["id"] != 194) continue;
        EXPECT_EQ(a["temperature"], (nlohmann::json{{"current", 36}, {"lowest", 18}, {"highest", 45}}));
    }
    EXPECT_NE(text.find("(36 C, lowest 18 C, highest 45 C)"), std::string::npos) << text;

    const auto& cd = devices[1];
    EXPECT_EQ(cd["operations"]["capabilities"], false);
    EXPECT_TRUE(cd["attributes"].empty());
    EXPECT_NE(text.find("Read Error Rate"), std::string::npos);
}

}  // namespace
