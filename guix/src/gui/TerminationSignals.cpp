#include "TerminationSignals.h"

#include <pthread.h>
#include <signal.h>

#include <thread>

#include "ui/message_queue.h"

namespace gui {

void StopOnTerminationSignals(DWORD gui_thread) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // Lives until the process ends; a second signal asks again.
    std::thread([signals, gui_thread] {
        for (;;) {
            int signal = 0;
            if (sigwait(&signals, &signal) == 0) PostThreadMessageW(gui_thread, kStopRequest, WPARAM(signal), 0);
        }
    }).detach();
}

}  // namespace gui
