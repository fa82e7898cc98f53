// What the S.M.A.R.T. box beside a disk shows, worked out from a copy of the
// drive's record and the settings: health (which images), the remaining
// life for the life bar, the temperature text and its colour, and whether
// the drive raises the alert.
//
// Temperature limit: the record's second temperature, replaced by the low
// byte of MaxTemp unless MaxTemp is -1. A limit of 0 means none, and then
// only temperatures above 60 °C count as too hot. A temperature of 0 is
// unknown and prints "n/a".
#pragma once

#include <string>

#include "Settings.h"
#include "smart/SmartRecords.h"

namespace smartbox {

inline constexpr COLORREF kNormalText = 0x323232;
inline constexpr COLORREF kHotText = 0x460EA2;
inline constexpr int kNoLimitThreshold = 61;

// Box image indexes in the S.M.A.R.T. image list.
inline constexpr int kHealthyBox = 0, kHealthyLife = 1, kFailingBox = 2, kFailingLife = 3;

// Remaining life in percent (0 without a start/stop counter).
int LifePercent(const SmartDevice& device);
int TemperatureLimit(const SmartDevice& device, LONG max_temp);
bool IsTooHot(const SmartDevice& device, LONG max_temp);
// "%d°C", "%d°F" or "n/a".
std::u16string TemperatureText(const SmartDevice& device, bool fahrenheit);
COLORREF TemperatureColour(const SmartDevice& device, LONG max_temp);
// Failing health or a temperature at the limit.
bool RaisesAlert(const SmartDevice& device, LONG max_temp);

}  // namespace smartbox
