// A test aid: a thread that moves a ManualClock on in fixed steps until it is
// destroyed, so code under test that sleeps or waits with a time-out on the
// process clock finishes without the test knowing when it started waiting.
// The steps are paced by a short real pause so waiters get to run between them.
#pragma once

#include <atomic>
#include <thread>

#include "base/clock.h"

namespace plat {

class ClockAdvancer {
public:
    ClockAdvancer(ManualClock& clock, std::uint64_t step_ms) : m_thread([this, &clock, step_ms] {
        while (!m_stop.load()) {
            clock.Advance(step_ms);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }) {}
    ~ClockAdvancer() {
        m_stop = true;
        m_thread.join();
    }
    ClockAdvancer(const ClockAdvancer&) = delete;
    ClockAdvancer& operator=(const ClockAdvancer&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace plat
