#include "base/thread.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <system_error>
#include <thread>

#include "base/last_error.h"
#include "base/win_errors.h"

namespace plat {
namespace {

class ThreadObject final : public WaitableObject {
public:
    bool IsSignaledLocked() const override { return m_finished; }

    void Finish(DWORD code) {
        Wakeups wakeups;
        std::lock_guard lock(StateMutex());
        m_exitCode = code;
        m_finished = true;
        WakeWaitersLocked(wakeups);
    }

    DWORD ExitCode() const {
        std::lock_guard lock(StateMutex());
        return m_finished ? m_exitCode : STILL_ACTIVE;
    }

    std::atomic<DWORD> m_id{0};

private:
    bool m_finished = false;
    DWORD m_exitCode = 0;
};

}  // namespace

HANDLE StartThread(std::function<DWORD()> body, DWORD* thread_id) {
    auto object = std::make_shared<ThreadObject>();
    std::mutex started_mutex;
    std::condition_variable started_cv;
    bool started = false;
    try {
        std::thread([object, body = std::move(body), &started_mutex, &started_cv, &started] {
            object->m_id = GetCurrentThreadId();
            {
                // Notify under the lock: the starter's stack variables die
                // as soon as it sees `started`.
                std::lock_guard lock(started_mutex);
                started = true;
                started_cv.notify_one();
            }
            object->Finish(body());
        }).detach();
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // Wait until the thread has its id so the caller can rely on it.
    std::unique_lock lock(started_mutex);
    started_cv.wait(lock, [&] { return started; });
    if (thread_id) *thread_id = object->m_id;
    return RegisterHandle(object);
}

}  // namespace plat

HANDLE CreateThread(SECURITY_ATTRIBUTES*, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    DWORD* thread_id) {
    if (start == nullptr || flags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return plat::StartThread([start, parameter] { return start(parameter); }, thread_id);
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exit_code) {
    auto object = plat::LookupHandleAs<plat::ThreadObject>(thread);
    if (!object || !exit_code) {
        SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exit_code = object->ExitCode();
    return TRUE;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }
