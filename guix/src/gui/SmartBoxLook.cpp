#include "SmartBoxLook.h"

#include <algorithm>

#include "base/format.h"

namespace smartbox {

int LifePercent(const SmartDevice& d) {
    if (!(d.flags & SMART_FLAG_START_STOP)) return 0;
    const double specified = d.counters.lifetimeStartStopCycles ? d.counters.lifetimeStartStopCycles : 10000.0;
    double life = 100.0 - d.counters.startStopCycles / specified * 100.0;
    if (d.counters.powerOnHours != 0)
        life = (static_cast<int>(life) + (100.0 - d.counters.powerOnHours / 20000.0 * 100.0) + 1) * 0.5;
    return std::max(0, static_cast<int>(life));
}

int TemperatureLimit(const SmartDevice& d, LONG max_temp) {
    return max_temp != -1 ? BYTE(max_temp & 0xFF) : d.counters.secondTemperature;
}

bool IsTooHot(const SmartDevice& d, LONG max_temp) {
    const int t = d.counters.temperature;
    if (t == 0) return false;
    const int limit = TemperatureLimit(d, max_temp);
    return t >= (limit == 0 ? kNoLimitThreshold : limit);
}

std::u16string TemperatureText(const SmartDevice& d, bool fahrenheit) {
    const int t = d.counters.temperature;
    if (t == 0) return u"n/a";
    if (fahrenheit) return plat::Format(u"%d\u00B0F", static_cast<int>(t * 1.8 + 32));
    return plat::Format(u"%d\u00B0C", t);
}

COLORREF TemperatureColour(const SmartDevice& d, LONG max_temp) { return IsTooHot(d, max_temp) ? kHotText : kNormalText; }

bool RaisesAlert(const SmartDevice& d, LONG max_temp) { return d.health == 0 || IsTooHot(d, max_temp); }

}  // namespace smartbox
