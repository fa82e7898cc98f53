#include "log/Diagnostics.h"

#include <dlfcn.h>
#include <link.h>

#include <filesystem>

#include "base/clock.h"
#include "base/hresult.h"
#include "base/last_error.h"
#include "log/Log.h"
#include "log/SystemInfo.h"
#include "version/VersionRecord.h"

using namespace diagnostics;

namespace {

constexpr std::u16string_view kCategory = u"LOGD";

class Dump {
public:
    Dump(CLog* log, LONG level) : m_log(log), m_level(level) {}

    template <typename... Args>
    void Line(std::string_view format, const Args&... args) {
        CLog::Print(m_log, m_level, kCategory, format, args...);
    }

    bool Paths(void* module);
    void Versions(const char* which, const std::string& path);
    void OperatingSystem();
    void HostAndUser();
    void Tasks();
    void Times();

private:
    CLog* m_log;
    LONG m_level;
};

bool ExecutablePath(std::string& out) {
    std::error_code ec;
    out = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec) SetLastError(Win32ErrorFromErrno(ec.value()));
    return !ec;
}

// The file of a dlopen handle; the executable for nullptr or the program's own handle.
bool ModulePath(void* module, std::string& out) {
    link_map* map = nullptr;
    if (module && dlinfo(module, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name) {
        out = map->l_name;
        return true;
    }
    return ExecutablePath(out);
}

bool Dump::Paths(void* module) {
    Line("Getting module (EXE)...");
    void* self = dlopen(nullptr, RTLD_LAZY);
    Line("module=0x%x", reinterpret_cast<std::uintptr_t>(self));
    if (self) dlclose(self);
    Line("Getting module path...");
    std::string exe, dll;
    if (!ExecutablePath(exe)) {
        Line("Error getting module path, dw=%lu, @err=%d", 0, GetLastError());
        return false;
    }
    Line("module_path_exe='%s'", exe);
    Line("Getting module path (DLL)...");
    if (!ModulePath(module, dll)) {
        Line("Error getting module path, dw=%lu, @err=%d", 0, GetLastError());
        return false;
    }
    Line("module_path_dll='%s'", dll);
    Versions("EXE", exe);
    Versions("DLL", dll);
    return true;
}

// File and product version come from the same record, so one failure is
// reported for both.
void Dump::Versions(const char* which, const std::string& path) {
    Line("Getting versions (%s)...", which);
    version::VersionRecord record;
    const HRESULT hr = version::ReadVersionRecord(path, record);
    if (FAILED(hr)) {
        const DWORD error = GetLastError();
        Line("Error getting file version, hr=0x%x, @err=%d", hr, error);
        Line("Error getting product version, hr=0x%x, @err=%d", hr, error);
        record.file = record.product = {};
    }
    const auto f = version::Unpack(record.file), p = version::Unpack(record.product);
    Line("fver=%lu.%lu.%lu.%lu, pver=%lu.%lu.%lu.%lu", f[0], f[1], f[2], f[3], p[0], p[1], p[2], p[3]);
}

void Dump::OperatingSystem() {
    Line("Getting OS...");
    OsInfo os;
    if (!QueryOsInfo(os)) {
        const DWORD error = GetLastError();
        Line("Error getting OS info, hr=0x%x, @err=%d", HRESULT_FROM_WIN32(error), error);
        return;
    }
    Line("OS: (SOSVI) cn='%s', lcn='%s', ver='%s'", os.shortName, os.longName, os.version);
    Line("OS: (SOSVI) oth='%s', sp='%s', bui='%s', osfl=%lx", os.other, os.servicePack, os.buildText, os.flags);
    Line("OS: (OSVI) pid=%lu, maj=%lu, min=%lu, bui=%lu", os.platformId, os.major, os.minor, os.build);
}

void Dump::HostAndUser() {
    std::string text;
    Line("Getting hostname...");
    if (QueryHostName(text)) {
        Line("computername='%s'", text);
    } else {
        Line("GetComputerName() FAILED, b=%d, @err=%d", 0, GetLastError());
    }
    Line("Getting username...");
    if (QueryUserName(text)) {
        Line("username='%s'", text);
    } else {
        Line("GetUserName() FAILED, b=%d, @err=%d", 0, GetLastError());
    }
    Line("Getting commandline...");
    Line("cmdline='%s'", QueryCommandLine());
}

void Dump::Tasks() {
    Line("Getting tasklist...");
    const DWORD count = CountTasks();
    Line("#tasks=%lu", count);
    if (count == 0) return;
    const std::vector<Task> tasks = ListTasks();
    Line("#tasks_ret=%lu", tasks.size());
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        Line("%04lu: id=0x%08x, proc='%s'", i, tasks[i].id, tasks[i].image);
    }
}

void Dump::Times() {
    Line("TIME: LOCALE='%s'", CurrentLocaleName());
    SYSTEMTIME utc{}, local{};
    GetSystemTime(&utc);
    GetLocalTime(&local);
    for (const auto& [name, t] : {std::pair{"UTC", utc}, std::pair{"LOCAL", local}}) {
        Line("TIME: SYSTEM %s: %02lu.%02lu.%04lu %02lu:%02lu:%02lu", name, t.wDay, t.wMonth, t.wYear, t.wHour,
             t.wMinute, t.wSecond);
    }
}

}  // namespace

void DumpDiagnostics(CLog* log, void* module, DWORD flags, LONG level) {
    if (!log) return;
    CLog::Print(log, 5, kCategory, "-> (diag_level=0x%x, log_level=0x%x", flags, level);
    CLog::Print(log, 5, kCategory, "current_log_level=0x%x", log->GetLevel());
    if (!logging::LevelPasses(level, log->GetLevel())) {
        CLog::Print(log, 5, kCategory, "<- NTD");
        return;
    }
    Dump dump(log, level);
    if (flags & kDumpSystem && dump.Paths(module)) {
        dump.OperatingSystem();
        dump.HostAndUser();
        dump.Tasks();
        dump.Times();
    }
    dump.Line("<-");
}
