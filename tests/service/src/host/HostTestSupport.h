// Test doubles of the service host tests: a server whose connections the
// test sets, and a captured output stream.
#pragma once

#include <stdio.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "ServerControl.h"
#include "base/clock.h"
#include "base/last_error.h"

class FakeServer : public ServerControl {
public:
    HRESULT Init() override {
        Note("Init");
        return m_initResult;
    }
    HRESULT Start() override {
        Note("Start");
        if (FAILED(m_startResult)) SetLastError(m_startError);
        return m_startResult;
    }
    void RequestClose() override {
        Note("RequestClose");
        m_requestCloseTick = plat::CurrentClock().TickMs();
    }
    void Stop() override {
        Note("Stop");
        m_stopTick = plat::CurrentClock().TickMs();
    }
    // Counts down one connection per question after `m_closeAfter` questions.
    LONG ConnectionCount() const override {
        std::lock_guard lock(m_mutex);
        m_countTicks.push_back(plat::CurrentClock().TickMs());
        if (m_countTicks.size() > m_closeAfter && m_connections > 0) --m_connections;
        return m_connections;
    }

    void WaitFor(const std::string& call) {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [&] {
            for (const auto& c : m_calls)
                if (c == call) return true;
            return false;
        });
    }
    std::vector<std::string> Calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

    HRESULT m_initResult = S_OK;
    HRESULT m_startResult = S_OK;
    DWORD m_startError = 0;  // the last error a failed Start leaves
    mutable LONG m_connections = 0;
    std::size_t m_closeAfter = 1000;
    mutable std::vector<std::uint64_t> m_countTicks;
    std::atomic<std::uint64_t> m_stopTick{0};
    std::atomic<std::uint64_t> m_requestCloseTick{0};

private:
    void Note(const char* call) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(call);
        m_cv.notify_all();
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_calls;
};

// A FILE* that collects what is written to it.
class CapturedOutput {
public:
    CapturedOutput() : m_file(open_memstream(&m_buffer, &m_size)) {}
    ~CapturedOutput() {
        fclose(m_file);
        std::free(m_buffer);
    }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;
    FILE* File() { return m_file; }
    // What was written since the last call.
    std::string Take() {
        fflush(m_file);
        std::string text(m_buffer, m_size);
        std::string fresh = text.substr(m_taken);
        m_taken = text.size();
        return fresh;
    }

private:
    char* m_buffer = nullptr;
    std::size_t m_size = 0;
    std::size_t m_taken = 0;
    FILE* m_file;
};
