// WorkerThread: a named thread that starts synchronously. Start returns only
// once the new thread runs; Join waits for the function to finish.
//
// Threads: Start, Join and Close are called by the owner's thread. After
// Start has returned, the running thread touches only its own copies (the
// function, its argument, its name and the finished event's handle), so the
// object may be closed or destroyed while the thread still runs.
#pragma once

#include "base/wintypes.h"

class WorkerThread {
public:
    using Function = DWORD (*)(LPVOID);

    WorkerThread() = default;
    ~WorkerThread() { Close(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Creates the events when missing, copies the name and starts the thread;
    // returns once it runs. FALSE (last error set) when it cannot start.
    BOOL Start(Function function, LPVOID argument, const char* name);
    // Waits without limit for the function to finish and closes the thread
    // handle. The caller's last-error code is kept.
    void Join();
    // Closes the remaining event and thread handles.
    void Close();

    DWORD ThreadId() const { return m_threadId; }
    HANDLE Thread() const { return m_thread; }

private:
    DWORD m_threadId = 0;
    HANDLE m_thread = nullptr;
    HANDLE m_started = nullptr;   // auto-reset
    HANDLE m_finished = nullptr;  // manual-reset
    Function m_function = nullptr;
    LPVOID m_argument = nullptr;
};
