#include "process/create_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <mutex>

#include "base/last_error.h"
#include "base/thread.h"
#include "base/win_errors.h"

extern char** environ;

namespace plat::process {
namespace {

std::mutex g_mutex;
Launcher g_launcher;
std::optional<Desktop> g_desktop;

DWORD Spawn(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // A child starts with every signal deliverable, whatever this thread
    // blocks (a signal relay or the kernel host block some).
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int result = posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    return result == 0 ? DWORD(pid) : 0;
}

// A handle signalled when the child ends, holding its exit code.
HANDLE Waiter(DWORD pid) {
    return StartThread([pid]() -> DWORD {
        int status = 0;
        if (waitpid(pid_t(pid), &status, 0) != pid_t(pid)) return DWORD(-1);
        return WIFEXITED(status) ? DWORD(WEXITSTATUS(status)) : DWORD(-1);
    });
}

}  // namespace

void SetLauncher(Launcher launcher, std::optional<Desktop> desktop) {
    std::lock_guard lock(g_mutex);
    g_launcher = std::move(launcher);
    g_desktop = std::move(desktop);
}

DWORD Launch(const std::vector<std::string>& argv) {
    Launcher launcher;
    {
        std::lock_guard lock(g_mutex);
        launcher = g_launcher;
    }
    return launcher ? launcher(argv) : Spawn(argv);
}

Desktop CurrentDesktop() {
    std::lock_guard lock(g_mutex);
    return g_desktop ? *g_desktop : ThisDesktop();
}

}  // namespace plat::process

BOOL CreateProcessW(LPCWSTR application, LPWSTR command_line, void*, void*, BOOL, DWORD, void*, LPCWSTR, void*,
                    PROCESS_INFORMATION* info) {
    using namespace plat::process;
    const std::u16string line = command_line ? command_line : (application ? application : u"");
    bool recorded = false;
    {
        std::lock_guard lock(g_mutex);
        recorded = bool(g_launcher);
    }
    const auto argv = MapCommandLine(line, CurrentDesktop());
    if (!argv) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    const DWORD pid = Launch(*argv);
    if (pid == 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (info) {
        *info = PROCESS_INFORMATION{};
        info->dwProcessId = pid;
        if (!recorded) info->hProcess = Waiter(pid);
    }
    return TRUE;
}
