// Initialize's preparation of each listed drive and the report it writes to
// the log at level 4: identity and flags of every drive, and for a drive
// with S.M.A.R.T. support its capabilities and current values.
#include "SmartHandler.h"

#include <string>

#include "base/format.h"

namespace {

constexpr LONG kReportLevel = 4;
constexpr ULONGLONG kGiB = 1ull << 30;

// A flag as the report shows it: -1 when set, 0 when clear.
int Bit(const SmartDevice& d, DWORD flag) { return (d.flags & flag) ? -1 : 0; }

template <typename... Args>
void Report(CLog* log, const char* format, const Args&... args) {
    CLog::Print(log, kReportLevel, u"", format, args...);
}

}  // namespace

void CSmartHandler::LogIdentity(const SmartDevice& d) {
    Report(m_log, "\r\n\r\n%d %d Remove: %d  SmartEnabled: %d\r\n", d.deviceType, d.deviceNumber,
           Bit(d, SMART_FLAG_REMOVABLE), Bit(d, SMART_FLAG_ENABLED));
    Report(m_log, "ATA %d Adr: %08lX\r\nDev: %.*s\r\nRev: %.*s\r\nS/N: %.*s\r\n", d.ataLevel, SmartAddress(d), 40,
           d.model, 8, d.firmware, 20, d.serial);
    Report(m_log, "SmartFlags: %08lX\r\n", d.flags);
}

bool CSmartHandler::Prepare(SmartDevice* device) {
    if (!(device->flags & SMART_FLAG_SUPPORTED)) return false;
    if (!(device->flags & SMART_FLAG_ENABLED) && !EnableSmart(device)) Report(m_log, "Enable failed!\r\n");
    if (!(device->flags & SMART_FLAG_CAPS_READ) && !ReadCapabilities(device))
        Report(m_log, "Capabilities failed!\r\n");
    const SmartDevice& d = *device;
    Report(m_log, "CollectTime: %d  ShortPoll: %d  ExtPoll: %d  Flags: %lX\r\n", d.collectTime, d.shortTestTime,
           d.extendedTestTime, d.flags);
    Report(m_log, "Autosave: %d/%d  AutoOffline: %d/%d  Abort: %d  collect: %d PowerOnSTRef %d\r\n",
           Bit(d, SMART_FLAG_AUTOSAVE_SUPPORTED), Bit(d, SMART_FLAG_AUTOSAVE), Bit(d, SMART_FLAG_AUTO_OFFLINE_SUPPORTED),
           Bit(d, SMART_FLAG_AUTO_OFFLINE), Bit(d, SMART_FLAG_ABORT_ON_COMMAND), Bit(d, SMART_FLAG_OFFLINE_COLLECT),
           Bit(d, SMART_FLAG_POWER_ON_FROM_SELFTEST));
    Report(m_log, "Selftest: %d  ErrorLog: %d\r\n", Bit(d, SMART_FLAG_SELFTEST), Bit(d, SMART_FLAG_ERROR_LOG));
    if (!ReadAttributes(device)) Report(m_log, "GetAttributes failed!\r\n");
    LogValues(*device);
    return true;
}

void CSmartHandler::LogValues(const SmartDevice& d) {
    const SmartCounters& c = d.counters;
    std::string line;
    if (d.flags & SMART_FLAG_TEMPERATURE) line += plat::Format("Temp: %d/%d  ", c.temperature, c.secondTemperature);
    if (d.flags & SMART_FLAG_START_STOP)
        line += plat::Format("StartStop: %ld/%ld   Manufactured %s/%s  ", c.startStopCycles,
                                 c.lifetimeStartStopCycles, c.manufactureWeek, c.manufactureYear);
    if (d.flags & SMART_FLAG_SEEK_ERRORS) line += plat::Format("Seek: %I64d  ", c.nonMediumErrors);
    if (d.flags & SMART_FLAG_POWER_ON_HOURS) line += plat::Format("PoH: %ld", c.powerOnHours);
    Report(m_log, "%s\r\n", line);
    if (d.flags & SMART_FLAG_WRITE_ERRORS)
        Report(m_log, "Write(C/UC GB): %I64d/%I64d %I64d\r\n", c.writeErrorsCorrected, c.writeErrorsUncorrected,
               c.bytesWritten / kGiB);
    if (d.flags & SMART_FLAG_READ_ERRORS)
        Report(m_log, "Read(C/UC GB): %I64d/%I64d %I64d\r\n", c.readErrorsCorrected, c.readErrorsUncorrected,
               c.bytesRead / kGiB);
    Report(m_log, "SmartStatus: %s\r\n", d.health != 0 ? "OK" : "FAIL");
}
