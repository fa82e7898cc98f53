#include "DetailLines.h"

#include <cmath>

#include "SmartDialogCommon.h"
#include "base/format.h"
#include "base/text.h"

namespace details {
namespace {

constexpr ULONGLONG kDay = 86400, kHour = 3600;
constexpr UINT kNotAvailable = 202;
constexpr UINT kDayWord = 250, kDaysWord = 249, kHourWord = 265, kHoursWord = 264;
// Lifetime start/stop cycles a drive that reports none is rated for.
constexpr DWORD kDefaultLifetimeCycles = 10000;
// Limit shown when the drive reports no second temperature (degrees C).
constexpr int kDefaultLimit = 60;
constexpr int kLayoutFields = 10;

// The top edge of each line's rectangle (left 15, right 280, 15 high);
// 0: line 2 keeps its record's own.
constexpr std::array<LONG, kDetailLineCount> kTops = {22, 0, 39, 60, 77, 90, 103, 116, 129, 142, 155, 168, 181, 194};

RECT RectOf(int number) {
    const LONG top = kTops[std::size_t(number - 1)];
    return top ? RECT{15, top, 280, top + 15} : RECT{};
}

template <typename... Args>
DetailLine Line(int number, UINT resource, const Args&... args) {
    return DetailLine{number, plat::Format(smartdlg::LoadText(resource), args...), RectOf(number)};
}

// The value's line when `available`, else the fallback with string 202.
template <typename Value>
DetailLine LineOr(bool available, int number, UINT resource, UINT fallback, const Value& value) {
    return available ? Line(number, resource, value) : Line(number, fallback, smartdlg::LoadText(kNotAvailable));
}

}  // namespace

std::u16string FormatDuration(ULONGLONG seconds) {
    std::u16string text;
    if (seconds >= kDay) {
        const ULONGLONG days = seconds / kDay;
        text = plat::Format(u"%d %s, ", days, smartdlg::LoadText(days == 1 ? kDayWord : kDaysWord));
        seconds %= kDay;
    }
    if (seconds >= kHour) {
        const ULONGLONG hours = seconds / kHour;
        text += plat::Format(u"%d %s", hours, smartdlg::LoadText(hours == 1 ? kHourWord : kHoursWord));
    }
    if (text.ends_with(u", ")) text.resize(text.size() - 2);
    return text;
}

std::u16string FormatGigabytes(ULONGLONG bytes) {
    const float gigabytes = float(double(bytes) / double(1ull << 30));
    const auto thousandths = static_cast<ULONGLONG>(std::llround(double(gigabytes) * 1000.0));
    return plat::Format(u"%u.%03u", thousandths / 1000, thousandths % 1000);
}

int ToFahrenheit(int celsius) { return int(celsius * 1.8 + 32); }

TemperatureArguments TemperatureArgumentsOf(const SmartCounters& counters, bool fahrenheit) {
    TemperatureArguments args{fahrenheit ? u"F" : u"C", counters.temperature,
                              counters.secondTemperature ? int(counters.secondTemperature) : kDefaultLimit};
    if (fahrenheit) {
        args.temperature = ToFahrenheit(args.temperature);
        args.limit = ToFahrenheit(args.limit);
    }
    return args;
}

std::u16string DetailLine::Text() const {
    skin::SkinRecordReader reader(record);
    reader.Skip(kLayoutFields);
    return reader.Rest();
}

std::u16string DetailLine::Name() const { return skin::SkinRecordReader(record).Text(); }

skin::LabelRecord DetailLine::Label() const {
    skin::LabelRecord label = skin::ParseLabelRecord(record);
    label.text = Text();
    label.tooltip.clear();
    if (rect.right > rect.left && rect.bottom > rect.top) label.rect = rect;
    return label;
}

std::array<DetailLine, kDetailLineCount> MakeDetailLines(const SmartDevice& device, bool fahrenheit) {
    const SmartCounters& c = device.counters;
    const auto has = [&](DWORD flag) { return (device.flags & flag) != 0; };
    const auto field = [](const WCHAR* text, std::size_t capacity) { return plat::FieldView(text, capacity); };

    std::u16string_view week = field(c.manufactureWeek, std::size(c.manufactureWeek));
    std::u16string_view year = field(c.manufactureYear, std::size(c.manufactureYear));
    if (week.empty() || year.empty()) week = year = {};

    const DWORD lifetime = c.lifetimeStartStopCycles ? c.lifetimeStartStopCycles : kDefaultLifetimeCycles;
    const TemperatureArguments temp = TemperatureArgumentsOf(c, fahrenheit);
    const std::u16string none = smartdlg::LoadText(kNotAvailable);

    return {
        Line(1, 180, field(device.model, kModelChars)),
        Line(2, 248, device.deviceNumber),
        Line(3, 246, field(device.firmware, kFirmwareChars), field(device.serial, kSerialChars)),
        Line(4, 162, week, year),
        LineOr(has(SMART_FLAG_POWER_ON_HOURS), 5, 158, 172, FormatDuration(ULONGLONG(c.powerOnHours) * kHour)),
        has(SMART_FLAG_START_STOP) ? Line(6, 159, c.startStopCycles, lifetime) : Line(6, 182, none),
        LineOr(c.bytesRead != 0, 7, 160, 183, FormatGigabytes(c.bytesRead)),
        LineOr(c.bytesWritten != 0, 8, 161, 184, FormatGigabytes(c.bytesWritten)),
        LineOr(has(SMART_FLAG_READ_ERRORS), 9, 163, 185, c.readErrorsCorrected),
        LineOr(has(SMART_FLAG_WRITE_ERRORS), 10, 164, 186, c.writeErrorsCorrected),
        LineOr(has(SMART_FLAG_READ_ERRORS), 11, 165, 187, c.readErrorsUncorrected),
        LineOr(has(SMART_FLAG_WRITE_ERRORS), 12, 166, 188, c.writeErrorsUncorrected),
        LineOr(has(SMART_FLAG_SEEK_ERRORS), 13, 167, 189, c.nonMediumErrors),
        has(SMART_FLAG_TEMPERATURE) ? Line(14, 168, temp.unit, temp.temperature, temp.limit)
                                    : Line(14, 190, temp.unit, none),
    };
}

}  // namespace details
