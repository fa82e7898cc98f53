// The parameter walk over a SCSI log page and what each parameter feeds.
#include "engine/LogPage.h"

#include <algorithm>

#include "engine/BigEndian.h"

namespace {

struct Parameter {
    WORD code;
    BYTE length;
    const BYTE* value;
    unsigned position;  // 1 for the page's first parameter
};

bool ValidTemperature(BYTE t) { return t >= 1 && t <= 127; }

void SetTemperature(BYTE& field, const Parameter& p, std::size_t index) {
    if (p.length > index && ValidTemperature(p.value[index])) field = p.value[index];
}

void SetCounter(ULONGLONG& field, const Parameter& p) { field = BigEndianValue(p.value, p.length, 8); }
void SetCounter(DWORD& field, const Parameter& p) {
    field = static_cast<DWORD>(BigEndianValue(p.value, p.length, 4));
}

void WidenInto(WCHAR* field, const BYTE* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) field[i] = bytes[i];
    field[count] = 0;
}

// Write (0x02) and read (0x03) error counter pages share their codes.
void ErrorCounterPage(ULONGLONG& corrected, ULONGLONG& bytes, ULONGLONG& uncorrected,
                      const Parameter& p) {
    switch (p.code) {
        case 0x0003: SetCounter(corrected, p); break;
        case 0x0005: SetCounter(bytes, p); break;
        case 0x0006: SetCounter(uncorrected, p); break;
        default: break;
    }
}

// Returns false when the walk should stop after this parameter.
bool ApplyParameter(SmartCounters& c, BYTE page, const Parameter& p) {
    using namespace log_page;
    switch (page) {
        case kWriteErrors:
            ErrorCounterPage(c.writeErrorsCorrected, c.bytesWritten, c.writeErrorsUncorrected, p);
            return true;
        case kReadErrors:
            ErrorCounterPage(c.readErrorsCorrected, c.bytesRead, c.readErrorsUncorrected, p);
            return true;
        case kNonMediumErrors:
            if (p.code == 0x0000) SetCounter(c.nonMediumErrors, p);
            return true;
        case kTemperature:
            if (p.code == 0x0000) SetTemperature(c.temperature, p, 1);
            if (p.code == 0x0001) SetTemperature(c.secondTemperature, p, 1);
            return true;
        case kStartStop:
            if (p.code == 0x0001 && p.length >= 6) {
                WidenInto(c.manufactureYear, p.value, 4);
                WidenInto(c.manufactureWeek, p.value + 4, 2);
            }
            if (p.code == 0x0003) SetCounter(c.lifetimeStartStopCycles, p);
            if (p.code == 0x0004) SetCounter(c.startStopCycles, p);
            return true;
        case kSelfTestResults:
            if (p.code == p.position && p.length >= 4 && BigEndian16(p.value + 2) != 0) {
                c.powerOnHours = BigEndian16(p.value + 2);
                return false;
            }
            return true;
        case kInformationalExceptions:
            // Only the first parameter: additional sense code and qualifier,
            // then the temperature and the trip temperature.
            if (p.position == 1 && p.code == 0x0000 && p.length >= 3) {
                SetTemperature(c.temperature, p, 2);
                SetTemperature(c.secondTemperature, p, 3);
            }
            return false;
        default:
            return false;
    }
}

}  // namespace

void ParseLogPage(DeviceNode& node, BYTE page, const BYTE* data, std::size_t transferred) {
    if (!data || transferred < 4) return;
    const std::size_t pageLength = std::min<std::size_t>(BigEndian16(data + 2), transferred - 4);
    const std::size_t end = 4 + pageLength;
    // Self-test result parameters carry their time stamp in bytes 6 and 7.
    const std::size_t minRemaining = page == log_page::kSelfTestResults ? 7 : 3;
    std::size_t at = 4;
    for (unsigned position = 1; end - at > minRemaining; ++position) {
        const Parameter p{BigEndian16(data + at), data[at + 3], data + at + 4, position};
        if (end - at < std::size_t(p.length) + 4) return;
        if ((p.code >> 8) == 0 && !ApplyParameter(node.counters, page, p)) return;
        at += std::size_t(p.length) + 4;
    }
}
