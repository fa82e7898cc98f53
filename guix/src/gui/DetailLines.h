// The fourteen detail lines of a drive, as the details dialog shows them
// and the text report writes them. Each line is a label record: the line's
// string resource used as a format, or its fallback resource with the "not
// available" word (string 202) when the value is missing, and the rectangle
// the dialog places it at (left, top, right, bottom; empty keeps the
// record's own).
//
// A record field ends at the first comma, so a value holding one (the
// power-on time "1 day, 6 hours", a model or serial with a comma) would
// spill into the next field. The line's text is therefore taken as all the
// record holds after its ten layout fields, and the label the dialog makes
// (Label) shows it whole with no tooltip: the detail formats carry no
// tooltip field, so anything the split left there is part of the value.
//
// Numbers are formatted without the locale: the gigabytes always with "."
// and three decimals.
#pragma once

#include <array>
#include <string>

#include "skin/SkinRecord.h"
#include "smart/SmartRecords.h"
#include "ui/ui_types.h"

namespace details {

// "" for 0; otherwise the whole days ("%d %s, " with string 250 for one,
// 249 for more) and, when at least an hour is left, the whole hours ("%d
// %s" with string 265 for one, 264 for more); a trailing ", " is removed.
std::u16string FormatDuration(ULONGLONG seconds);
// The count in GiB, taken in single precision, with exactly three decimals
// and "." as the separator.
std::u16string FormatGigabytes(ULONGLONG bytes);

// The arguments of the temperature line: the unit letter ("F" or "C"), the
// temperature and the second temperature, 60 when the drive reports none;
// in Fahrenheit each as the whole part of value x 1.8 + 32.
struct TemperatureArguments {
    std::u16string unit;
    int temperature = 0;
    int limit = 0;
};
TemperatureArguments TemperatureArgumentsOf(const SmartCounters& counters, bool fahrenheit);
int ToFahrenheit(int celsius);

struct DetailLine {
    int number = 0;          // 1 to 14, in table order
    std::u16string record;   // the formatted label record
    RECT rect{};
    // Everything after the record's ten layout fields: the label's text
    // and the report's line.
    std::u16string Text() const;
    std::u16string Name() const;
    // The label the dialog shows: the record's layout, the whole Text, no
    // tooltip, and `rect` when it is not empty.
    skin::LabelRecord Label() const;
};
inline constexpr int kDetailLineCount = 14;

std::array<DetailLine, kDetailLineCount> MakeDetailLines(const SmartDevice& device, bool fahrenheit);

}  // namespace details
