#include "ProbeReport.h"

#include <nlohmann/json.hpp>

#include "base/format.h"
#include "base/text.h"
#include "TemperatureRaw.h"
#include "smart/LittleEndian.h"

namespace {

using nlohmann::ordered_json;

std::string Text(const WCHAR* field, std::size_t chars) {
    return plat::Utf16ToUtf8(plat::FieldView(field, chars));
}

// The health byte means something only once S.M.A.R.T. is on.
const char* HealthText(const SmartDevice& d) {
    if ((d.flags & (SMART_FLAG_SUPPORTED | SMART_FLAG_ENABLED)) != (SMART_FLAG_SUPPORTED | SMART_FLAG_ENABLED)) {
        return "n/a";
    }
    return d.health ? "good" : "FAILING";
}

std::uint64_t RawValue(const SmartAttribute& a) { return smart_le::Get(a.raw, 6); }

std::vector<std::string> FlagNames(DWORD flags) {
    std::vector<std::string> names;
    for (unsigned bit = 0; bit < kSmartFlagBits; ++bit) {
        if (flags & (1u << bit)) names.push_back(SmartFlagName(bit));
    }
    return names;
}

ordered_json CountersJson(const SmartCounters& c) {
    return ordered_json{
        {"write_errors_corrected", c.writeErrorsCorrected},
        {"write_errors_uncorrected", c.writeErrorsUncorrected},
        {"bytes_written", c.bytesWritten},
        {"read_errors_corrected", c.readErrorsCorrected},
        {"read_errors_uncorrected", c.readErrorsUncorrected},
        {"bytes_read", c.bytesRead},
        {"non_medium_errors", c.nonMediumErrors},
        {"power_on_hours", c.powerOnHours},
        {"start_stop_cycles", c.startStopCycles},
        {"lifetime_start_stop_cycles", c.lifetimeStartStopCycles},
        {"manufacture_year", Text(c.manufactureYear, 5)},
        {"manufacture_week", Text(c.manufactureWeek, 3)},
        {"temperature", c.temperature},
        {"second_temperature", c.secondTemperature},
    };
}

ordered_json TemperatureJson(const TemperatureReading& reading) {
    ordered_json json{{"current", reading.current}};
    if (reading.lowest) json["lowest"] = *reading.lowest;
    if (reading.highest) json["highest"] = *reading.highest;
    return json;
}

// The raw number, and beside it the degrees of a temperature attribute.
std::string RawText(const SmartAttribute& a) {
    std::string text = plat::Format("%I64u", RawValue(a));
    if (const auto reading = ReadTemperature(a)) text += " (" + TemperatureText(*reading) + ")";
    return text;
}

ordered_json AttributesJson(const SmartDevice& d) {
    ordered_json list = ordered_json::array();
    for (const SmartAttribute& a : d.attributes) {
        if (a.id == 0) continue;  // unused entry
        ordered_json attribute{{"id", a.id},
                               {"name", Text(a.name, kSmartNameChars)},
                               {"flags", a.flags},
                               {"value", a.value},
                               {"worst", a.worst},
                               {"raw", RawValue(a)},
                               {"threshold", a.threshold}};
        if (const auto reading = ReadTemperature(a)) attribute["temperature"] = TemperatureJson(*reading);
        list.push_back(std::move(attribute));
    }
    return list;
}

ordered_json DeviceJson(const ProbedDevice& probed) {
    const SmartDevice& d = *probed.record;
    ordered_json operations = ordered_json::object();
    for (const auto& [name, ok] : probed.results) operations[name] = ok;
    return ordered_json{
        {"server_id", d.serverId},
        {"device_type", d.deviceType},
        {"device_number", d.deviceNumber},
        {"model", Text(d.model, kModelChars)},
        {"firmware", Text(d.firmware, kFirmwareChars)},
        {"serial", Text(d.serial, kSerialChars)},
        {"flags", d.flags},
        {"flag_names", FlagNames(d.flags)},
        {"collect_time", d.collectTime},
        {"short_test_time", d.shortTestTime},
        {"extended_test_time", d.extendedTestTime},
        {"conveyance_test_time", d.conveyanceTestTime},
        {"port", d.port},
        {"path", d.path},
        {"target", d.target},
        {"lun", d.lun},
        {"ata_level", d.ataLevel},
        {"counters", CountersJson(d.counters)},
        {"health", d.health},
        {"attributes", AttributesJson(d)},
        {"operations", operations},
    };
}

std::string TextDevice(std::size_t index, const ProbedDevice& probed) {
    const SmartDevice& d = *probed.record;
    std::string out = plat::Format("[%u] %s  firmware %s  serial %s\n", unsigned(index),
                                   Text(d.model, kModelChars), Text(d.firmware, kFirmwareChars),
                                   Text(d.serial, kSerialChars));
    out += plat::Format("    type %lu  number %lu  address %08lX  ATA level %u  health %s\n",
                        d.deviceType, d.deviceNumber, SmartAddress(d), unsigned(d.ataLevel), HealthText(d));
    out += plat::Format("    flags 0x%08lX", d.flags);
    for (const std::string& name : FlagNames(d.flags)) out += " " + name.substr(11);  // drop "SMART_FLAG_"
    out += "\n";
    out += plat::Format("    tests: collect %us  short %us  extended %us  conveyance %us\n",
                        unsigned(d.collectTime), unsigned(d.shortTestTime), unsigned(d.extendedTestTime),
                        unsigned(d.conveyanceTestTime));
    const SmartCounters& c = d.counters;
    out += plat::Format("    temperature %u C (%u C)  power-on %lu h  start/stop %lu\n", unsigned(c.temperature),
                        unsigned(c.secondTemperature), c.powerOnHours, c.startStopCycles);
    for (const auto& [name, ok] : probed.results) out += plat::Format("    %-18s %s\n", name, ok ? "ok" : "failed");
    bool header = false;
    for (const SmartAttribute& a : d.attributes) {
        if (a.id == 0) continue;
        if (!header) {
            out += "     id  name                           flags  value  worst  thresh  raw\n";
            header = true;
        }
        out += plat::Format("    %3u  %-30s 0x%04X  %5u  %5u  %6u  %s\n", unsigned(a.id),
                            Text(a.name, kSmartNameChars), unsigned(a.flags), unsigned(a.value),
                            unsigned(a.worst), unsigned(a.threshold), RawText(a));
    }
    return out;
}

}  // namespace

std::string JsonReport(const std::vector<ProbedDevice>& devices) {
    ordered_json list = ordered_json::array();
    for (const ProbedDevice& d : devices) list.push_back(DeviceJson(d));
    return ordered_json{{"devices", list}}.dump(2) + "\n";
}

std::string TextReport(const std::vector<ProbedDevice>& devices) {
    if (devices.empty()) return "no drives found\n";
    std::string out;
    for (std::size_t i = 0; i < devices.size(); ++i) out += TextDevice(i, devices[i]) + "\n";
    return out;
}
