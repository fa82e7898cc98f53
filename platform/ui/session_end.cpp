#include "ui/session_end.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "base/thread.h"
#include "ui/message_queue.h"
#include "ui/window.h"

namespace plat::ui {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The pipe that wakes the delivering thread; the write end never blocks.
std::atomic<int> g_readFd{-1};
std::atomic<int> g_writeFd{-1};
std::atomic<DWORD> g_appThread{0};
std::once_flag g_once;

void OnSignal(int) {
    const int saved = errno;  // of whatever the signal interrupted
    // The next one takes its default action: a hung ending can be stopped.
    for (int s : kSignals) signal(s, SIG_DFL);
    RequestSessionEnd();
    errno = saved;
}

struct Target {
    HWND hwnd;
    bool closes;  // gets WM_CLOSE
};

std::vector<Target> Targets() {
    std::vector<Target> out;
    std::lock_guard lock(WindowsMutex());
    for (HWND h : TopLevelWindows()) {
        auto w = Lookup<Window>(h);
        if (w && !w->destroying) out.push_back({h, !w->owner && !w->popup});
    }
    return out;
}

// The delivering thread: one end per process.
void Deliver() {
    char byte;
    while (read(g_readFd.load(), &byte, 1) != 1) {
    }
    EndSession();
}

}  // namespace

bool RequestSessionEnd() {
    const int fd = g_writeFd.load();
    if (fd < 0) return false;
    const char byte = 1;
    (void)!write(fd, &byte, 1);
    return true;
}

bool SessionEndInstalled() { return g_writeFd.load() >= 0; }

void EndSession() {
    const std::vector<Target> targets = Targets();
    for (const Target& t : targets) SendMessageW(t.hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_CRITICAL);
    for (const Target& t : targets) SendMessageW(t.hwnd, WM_ENDSESSION, TRUE, ENDSESSION_CRITICAL);
    bool closing = false;
    for (const Target& t : targets)
        if (t.closes && IsWindow(t.hwnd)) closing = PostMessageW(t.hwnd, WM_CLOSE, 0, 0) || closing;
    if (!closing && g_appThread.load()) PostThreadMessageW(g_appThread.load(), WM_QUIT, 0, 0);
}

void EndSessionOnSignals() {
    std::call_once(g_once, [] {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        fcntl(fds[1], F_SETFL, O_NONBLOCK);
        // The thread's queue exists from now on, so an end that finds no
        // window can tell it to quit even before its first message.
        EnsureCurrentQueue();
        g_appThread.store(GetCurrentThreadId());
        g_readFd.store(fds[0]);
        g_writeFd.store(fds[1]);
        std::thread(&Deliver).detach();  // lives as long as the process
        struct sigaction action {};
        action.sa_handler = &OnSignal;
        action.sa_flags = SA_RESTART;  // any thread may take it: its reads and writes go on
        sigemptyset(&action.sa_mask);
        for (int s : kSignals) sigaction(s, &action, nullptr);
    });
}

}  // namespace plat::ui
