#include "TemperatureRaw.h"

#include <algorithm>
#include <vector>

#include "base/format.h"

namespace {

constexpr BYTE kAirflowTemperature = 190;
constexpr BYTE kTemperature = 194;

}  // namespace

std::optional<TemperatureReading> ReadTemperature(const SmartAttribute& a) {
    if (a.id != kAirflowTemperature && a.id != kTemperature) return std::nullopt;
    // A second byte in the low word means another unit or a wider count.
    if (a.raw[1] != 0) return std::nullopt;
    TemperatureReading reading;
    reading.current = a.raw[0];
    std::vector<unsigned> extremes;
    for (std::size_t i = 2; i < std::size(a.raw); ++i) {
        if (a.raw[i] != 0) extremes.push_back(a.raw[i]);
    }
    if (extremes.size() == 2) {
        const auto [low, high] = std::minmax(extremes[0], extremes[1]);
        if (low <= reading.current && reading.current <= high) {
            reading.lowest = low;
            reading.highest = high;
        }
    } else if (extremes.size() == 1) {
        if (extremes[0] < reading.current) reading.lowest = extremes[0];
        if (extremes[0] > reading.current) reading.highest = extremes[0];
    }
    return reading;
}

std::string TemperatureText(const TemperatureReading& reading) {
    std::string text = plat::Format("%u C", reading.current);
    if (reading.lowest) text += plat::Format(", lowest %u C", *reading.lowest);
    if (reading.highest) text += plat::Format(", highest %u C", *reading.highest);
    return text;
}
