#include "log/SystemInfo.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "base/format.h"
#include "base/last_error.h"
#include "base/win_errors.h"

namespace diagnostics {

namespace {

// KEY=value lines of /etc/os-release (quotes removed).
std::map<std::string, std::string> ReadOsRelease() {
    std::map<std::string, std::string> fields;
    std::ifstream in("/etc/os-release");
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')) value = value.substr(1, value.size() - 2);
        fields[line.substr(0, eq)] = value;
    }
    return fields;
}

bool IsNumber(const std::string& s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos; }

}  // namespace

bool QueryOsInfo(OsInfo& out) {
    utsname uts{};
    if (uname(&uts) != 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return false;
    }
    unsigned major = 0, minor = 0, build = 0;
    std::sscanf(uts.release, "%u.%u.%u", &major, &minor, &build);
    auto release = ReadOsRelease();
    out.major = major;
    out.minor = minor;
    out.build = build;
    out.shortName = release.count("NAME") ? release["NAME"] : uts.sysname;
    const std::string distribution = release.count("VERSION") ? out.shortName + " " + release["VERSION"] : out.shortName;
    out.longName = plat::Format("%s %s %s", distribution, uts.sysname, uts.release);
    out.version = plat::Format("%d.%d (%d)", major, minor, build);
    out.other = uts.version;
    out.servicePack.clear();
    out.buildText = uts.release;
    return true;
}

bool QueryHostName(std::string& out) {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return false;
    }
    out = name;
    return true;
}

bool QueryUserName(std::string& out) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    const int rc = getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found);
    if (!found) {
        SetLastError(rc ? Win32ErrorFromErrno(rc) : ERROR_NONE_MAPPED);
        return false;
    }
    out = entry.pw_name;
    return true;
}

std::string QueryCommandLine() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string line;
    for (std::string arg; std::getline(in, arg, '\0');) line += (line.empty() ? "" : " ") + arg;
    return line;
}

DWORD CountTasks() {
    DWORD count = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        if (IsNumber(entry.path().filename().string())) ++count;
    }
    return count;
}

std::vector<Task> ListTasks() {
    std::vector<Task> tasks;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (!IsNumber(name)) continue;
        std::ifstream comm(entry.path() / "comm");
        Task task;
        task.id = static_cast<DWORD>(std::stoul(name));
        if (!std::getline(comm, task.image)) continue;
        tasks.push_back(std::move(task));
    }
    return tasks;
}

std::string CurrentLocaleName() {
    const char* name = std::setlocale(LC_ALL, nullptr);
    return name ? name : "";
}

}  // namespace diagnostics
