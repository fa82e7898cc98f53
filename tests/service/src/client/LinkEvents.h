// The link states a CSmartHandler reported, for a test to wait on while it
// moves the manual clock on so that the client's pauses pass.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "SmartHandler.h"
#include "base/clock.h"

class LinkEvents {
public:
    CSmartHandler::LinkCallback Callback() {
        return [this](bool connected) {
            std::lock_guard lock(m_mutex);
            m_states.push_back(connected);
            m_cv.notify_all();
        };
    }
    // Waits (at most 30 s of real time) for the `count`-th report, moving
    // the test's clock on meanwhile so the client's pauses pass.
    bool WaitFor(std::size_t count, plat::ManualClock& clock) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        std::unique_lock lock(m_mutex);
        while (m_states.size() < count) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            lock.unlock();
            clock.Advance(250);
            lock.lock();
            m_cv.wait_for(lock, std::chrono::milliseconds(5));
        }
        return true;
    }
    std::vector<bool> States() {
        std::lock_guard lock(m_mutex);
        return m_states;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<bool> m_states;
};
