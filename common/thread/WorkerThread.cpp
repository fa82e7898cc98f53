#include "thread/WorkerThread.h"

#include <string>

#include "base/last_error.h"
#include "base/thread.h"

namespace {

void CloseIfOpen(HANDLE& handle) {
    if (handle) CloseHandle(handle);
    handle = nullptr;
}

}  // namespace

BOOL WorkerThread::Start(Function function, LPVOID argument, const char* name) {
    if (!m_started) m_started = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!m_finished) m_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_started || !m_finished) return FALSE;
    // A thread started again must not find the previous run's finish.
    ResetEvent(m_finished);
    m_function = function;
    m_argument = argument;

    // The thread keeps its own copy of the name and releases it when done.
    HANDLE thread = plat::StartThread([this, function, argument, name_copy = std::string(name ? name : ""),
                                       started = m_started, finished = m_finished]() mutable {
        m_threadId = GetCurrentThreadId();
        SetEvent(started);
        const DWORD result = function ? function(argument) : 0;
        std::string().swap(name_copy);
        SetEvent(finished);
        return result;
    });
    if (!thread) return FALSE;
    m_thread = thread;
    WaitForSingleObject(m_started, INFINITE);
    CloseIfOpen(m_started);
    return TRUE;
}

void WorkerThread::Join() {
    const DWORD error = GetLastError();
    if (m_finished) WaitForSingleObject(m_finished, INFINITE);
    CloseIfOpen(m_thread);
    SetLastError(error);
}

void WorkerThread::Close() {
    CloseIfOpen(m_started);
    CloseIfOpen(m_finished);
    CloseIfOpen(m_thread);
}
