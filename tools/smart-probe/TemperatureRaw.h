// The raw value of a temperature attribute as people read it. Attributes
// 190 (airflow temperature) and 194 (temperature) hold the current
// temperature in degrees Celsius in their lowest raw byte; many drives pack
// the lowest and highest temperature they have seen into the other bytes
// (bytes 2 and 4, or 2 and 3).
#pragma once

#include <optional>
#include <string>

#include "smart/SmartRecords.h"

struct TemperatureReading {
    unsigned current = 0;
    std::optional<unsigned> lowest;
    std::optional<unsigned> highest;
};

// The reading of `attribute`, or none when it is no temperature attribute
// or its raw value is not packed as above. A lowest or highest is given
// only when it is consistent with the current temperature.
std::optional<TemperatureReading> ReadTemperature(const SmartAttribute& attribute);

// "36 C, lowest 18 C, highest 45 C".
std::string TemperatureText(const TemperatureReading& reading);
