#include "service/signal_relay.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>

using plat::service::SignalRelay;

namespace {

bool Blocks(int signal_number) {
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, signal_number) == 1;
}

}  // namespace

// The relay's maker and the threads it starts block the signal, so only the
// relay's thread can take it (a thread asleep in a plain system call never
// holds it back); the maker's own mask comes back with the relay.
TEST(SignalRelay, TheRelaysThreadTakesTheSignalsWhileItsMakerBlocksThem) {
    ASSERT_FALSE(Blocks(SIGUSR1));
    std::mutex mutex;
    std::condition_variable cv;
    int received = 0;
    {
        SignalRelay relay({SIGUSR1}, [&](int signal_number) {
            std::lock_guard lock(mutex);
            received = signal_number;
            cv.notify_all();
        });
        ASSERT_TRUE(relay.Ok());
        EXPECT_TRUE(Blocks(SIGUSR1));
        bool started_blocks = false;
        std::thread([&] { started_blocks = Blocks(SIGUSR1); }).join();
        EXPECT_TRUE(started_blocks) << "a thread started meanwhile inherits the block";

        kill(getpid(), SIGUSR1);
        std::unique_lock lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return received != 0; }));
        EXPECT_EQ(received, SIGUSR1);
    }
    EXPECT_FALSE(Blocks(SIGUSR1));
}
