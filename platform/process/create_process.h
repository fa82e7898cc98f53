// CreateProcessW for the Windows tools the GUI starts: the command line is
// mapped to a desktop tool (command_mapping.h) and started detached from the
// caller. When nothing fits, nothing starts and the call fails with
// ERROR_FILE_NOT_FOUND, as for a missing program on Windows.
//
// The process handle is signalled when the program ends and carries its exit
// code (GetExitCodeThread); the thread handle is null.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/wintypes.h"
#include "process/command_mapping.h"

struct PROCESS_INFORMATION {
    HANDLE hProcess = nullptr;
    HANDLE hThread = nullptr;
    DWORD dwProcessId = 0;
    DWORD dwThreadId = 0;
};

namespace plat::process {

// Replaces how mapped commands start and what the desktop offers (tests
// record the command lines instead of starting them). Empty restores the
// real ones. Returns the process id, 0 on failure.
using Launcher = std::function<DWORD(const std::vector<std::string>& argv)>;
void SetLauncher(Launcher launcher, std::optional<Desktop> desktop = std::nullopt);

// Starts argv detached through the current launcher; the process id, or 0.
DWORD Launch(const std::vector<std::string>& argv);
// The desktop the current launcher sees.
Desktop CurrentDesktop();

}  // namespace plat::process

// The other arguments of the Windows call are accepted and ignored.
BOOL CreateProcessW(LPCWSTR application, LPWSTR command_line, void* process_attributes, void* thread_attributes,
                    BOOL inherit_handles, DWORD flags, void* environment, LPCWSTR directory, void* startup_info,
                    PROCESS_INFORMATION* info);
