#include "service/signal_relay.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>

#include "base/last_error.h"
#include "base/win_errors.h"

namespace plat::service {
namespace {

constexpr unsigned char kQuit = 0;  // no signal has number 0

std::atomic<int> g_writeFd{-1};  // the live relay's pipe, -1 when none

void OnSignal(int signal_number) {
    const int saved = errno;
    const int fd = g_writeFd.load();
    const unsigned char byte = static_cast<unsigned char>(signal_number);
    if (fd >= 0) (void)!write(fd, &byte, 1);
    errno = saved;
}

}  // namespace

SignalRelay::SignalRelay(std::initializer_list<int> signals, Callback callback) : m_callback(std::move(callback)) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return;
    }
    m_readFd = fds[0];
    m_writeFd = fds[1];
    fcntl(m_writeFd, F_SETFL, O_NONBLOCK);  // a full pipe drops a signal, never blocks a handler
    int expected = -1;
    if (!g_writeFd.compare_exchange_strong(expected, m_writeFd)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int s : signals) {
        struct sigaction previous {};
        if (sigaction(s, &action, &previous) == 0) m_previous.emplace_back(s, previous);
    }
    m_thread = std::thread([this] { Run(); });
    // The relay's thread was made with the caller's mask and takes the
    // signals; the caller and the threads it starts from now on block them,
    // so a signal never interrupts their calls and is never left waiting in
    // a thread that sleeps in a plain system call.
    sigset_t blocked;
    sigemptyset(&blocked);
    for (const auto& entry : m_previous) sigaddset(&blocked, entry.first);
    m_maskBlocked = pthread_sigmask(SIG_BLOCK, &blocked, &m_previousMask) == 0;
}

SignalRelay::~SignalRelay() {
    Restore();
    if (m_thread.joinable()) {
        int expected = m_writeFd;
        g_writeFd.compare_exchange_strong(expected, -1);
        const unsigned char quit = kQuit;
        (void)!write(m_writeFd, &quit, 1);
        m_thread.join();
    }
    if (m_readFd >= 0) close(m_readFd);
    if (m_writeFd >= 0) close(m_writeFd);
}

void SignalRelay::Restore() {
    if (m_maskBlocked) pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
    m_maskBlocked = false;
    for (auto& [s, previous] : m_previous) sigaction(s, &previous, nullptr);
    m_previous.clear();
}

void SignalRelay::Run() {
    for (;;) {
        // Waiting in poll rather than in read lets a thread sanitizer run the
        // handler at once (it holds signals back during a read).
        pollfd readable{m_readFd, POLLIN, 0};
        if (poll(&readable, 1, -1) < 0 && errno == EINTR) continue;
        unsigned char byte = 0;
        const ssize_t n = read(m_readFd, &byte, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n != 1 || byte == kQuit) return;
        m_callback(byte);
    }
}

}  // namespace plat::service
