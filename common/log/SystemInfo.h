// Facts about the running Linux system and process that the diagnostics dump
// writes: the operating system, host and user names, the command line and
// the task list. Each query reports failure with the last error set.
#pragma once

#include <string>
#include <vector>

#include "base/wintypes.h"

namespace diagnostics {

// The platform id reported for Linux. Windows uses 0 to 3 for its own
// families; this value keeps a Linux dump from being read as one of them.
inline constexpr DWORD kPlatformLinux = 0x4C;

struct OsInfo {
    DWORD platformId = kPlatformLinux;
    DWORD major = 0;   // kernel release x.y.z: x
    DWORD minor = 0;   // y
    DWORD build = 0;   // z
    std::string shortName;    // os-release NAME, else the kernel's name
    std::string longName;     // NAME VERSION, then the kernel name and release
    std::string version;      // "major.minor (build)"
    std::string other;        // the kernel's version text
    std::string servicePack;  // none on Linux: empty
    std::string buildText;    // the kernel release
    DWORD flags = 0;          // no Windows family bits
};

bool QueryOsInfo(OsInfo& out);
bool QueryHostName(std::string& out);
bool QueryUserName(std::string& out);
// The arguments of /proc/self/cmdline joined by blanks.
std::string QueryCommandLine();

struct Task {
    DWORD id = 0;
    std::string image;  // the process's command name
};

// The number of processes listed in /proc, and the tasks that could still
// be read (a process may end between the two).
DWORD CountTasks();
std::vector<Task> ListTasks();

// The process's current locale name ("C", "en_US.UTF-8", ...).
std::string CurrentLocaleName();

}  // namespace diagnostics
