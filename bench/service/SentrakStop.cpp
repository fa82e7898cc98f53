#include "SentrakStop.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "RawPeer.h"
#include "SmartHandler.h"
#include "engine/HistoryStore.h"
#include "net/loopback_port.h"
#include "registry/registry.h"

extern char** environ;

namespace {

// The first disk's stored node.
constexpr char16_t kFirstDiskValue[] = u"7.0";

bool CreateProductKey() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, history::kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool HistorySaved() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, history::kHistoryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    DWORD size = 0;
    const bool saved = RegQueryValueExW(key, kFirstDiskValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
                       type == REG_BINARY && size > 0;
    RegCloseKey(key);
    return saved;
}

// sentrak on `port`, its stdout on a pipe; true once it says it listens.
bool StartSentrak(WORD port, pid_t* pid) {
    setenv("LUMETRA_SMART_PORT", std::to_string(port).c_str(), 1);
    int fds[2];
    if (pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    char program[] = SENTRAK_PROGRAM;
    char* const argv[] = {program, nullptr};
    const bool spawned = posix_spawn(pid, program, &actions, nullptr, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    unsetenv("LUMETRA_SMART_PORT");
    std::FILE* out = fdopen(fds[0], "r");
    char line[256] = {};
    const bool listening = spawned && out && std::fgets(line, sizeof line, out) &&
                           std::string(line).starts_with("sentrak: listening on port");
    if (out) std::fclose(out);
    return listening;
}

}  // namespace

void MeasureSentrakStop(int peers) {
    if (!CreateProductKey()) {
        std::printf("sentrak stop: the product key cannot be created\n");
        return;
    }
    const WORD port = plat::net::FreeLoopbackPort();
    pid_t pid = -1;
    if (!StartSentrak(port, &pid)) {
        std::printf("sentrak stop: sentrak did not start\n");
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        return;
    }
    {
        // The GUI's client lists the drives first, as at every start.
        CSmartHandler gui(nullptr, port);
        gui.Initialize();
    }
    std::vector<std::unique_ptr<RawPeer>> silent;
    int registered = 0;
    for (int i = 0; i < peers; ++i) {
        silent.push_back(std::make_unique<RawPeer>(port));
        registered += silent.back()->Registered() ? 1 : 0;
    }
    const bool keptBefore = HistorySaved();  // nothing is stored while the service runs
    const auto start = std::chrono::steady_clock::now();
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const bool saved = !keptBefore && HistorySaved();
    std::printf("sentrak stop with %d registered peers that never read nor close: %.0f ms from SIGTERM to exit "
                "(status %d), history %s\n",
                registered, ms, WIFEXITED(status) ? WEXITSTATUS(status) : -1, saved ? "saved" : "NOT saved");
}
