// SignalRelay turns POSIX signals into calls on an ordinary thread. While a
// relay lives, the signals it names are caught by a handler that only writes
// the signal's number to a pipe (async-signal-safe); the relay's thread reads
// the pipe and calls the callback, where any code may run. The thread that
// makes the relay blocks the signals while it lives (threads it starts
// meanwhile inherit that), so they reach the relay's own thread. The
// previous dispositions and the maker's mask come back when the relay is
// destroyed, which must happen on the thread that made it.
//
// One relay at a time per process: a second one fails (Ok() false,
// ERROR_ALREADY_EXISTS) until the first is destroyed.
#pragma once

#include <functional>
#include <initializer_list>
#include <thread>
#include <vector>

#include <signal.h>

namespace plat::service {

class SignalRelay {
public:
    using Callback = std::function<void(int signal_number)>;

    SignalRelay(std::initializer_list<int> signals, Callback callback);
    ~SignalRelay();
    SignalRelay(const SignalRelay&) = delete;
    SignalRelay& operator=(const SignalRelay&) = delete;

    // False when the relay could not be set up (the last error tells why).
    bool Ok() const { return m_thread.joinable(); }

private:
    void Run();
    void Restore();

    Callback m_callback;
    std::vector<std::pair<int, struct sigaction>> m_previous;
    sigset_t m_previousMask{};
    bool m_maskBlocked = false;
    int m_readFd = -1;
    int m_writeFd = -1;
    std::thread m_thread;
};

}  // namespace plat::service
