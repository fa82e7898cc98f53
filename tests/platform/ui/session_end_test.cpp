#include "ui/session_end.h"

#include <signal.h>

#include <algorithm>
#include <future>
#include <thread>

#include "ui/input.h"
#include "ui_test_support.h"

using namespace uitest;

namespace {

using Heard = std::vector<std::pair<HWND, UINT>>;

// Records the end's messages of `hwnd` into `heard`; the test's windows
// answer FALSE to the query and stay on a close.
Handler Recorder(Heard& heard) {
    return [&heard](HWND h, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
        if (m != WM_QUERYENDSESSION && m != WM_ENDSESSION && m != WM_CLOSE) return std::nullopt;
        heard.emplace_back(h, m);
        if (m == WM_QUERYENDSESSION) {
            EXPECT_EQ(lp, ENDSESSION_CRITICAL);
        }
        return LRESULT(0);
    };
}

bool Has(const std::vector<UINT>& seq, UINT m) { return std::find(seq.begin(), seq.end(), m) != seq.end(); }

using SessionEndTest = UiTest;

}  // namespace

TEST_F(SessionEndTest, EveryWindowHearsTheEndAndTheMainOnesAreClosed) {
    HWND main = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    HWND hidden = Make(WS_POPUP, RECT{0, 0, 100, 100});  // a panel hidden in the tray still closes
    HWND owned = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
    SetWindowLongPtrW(owned, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(main));
    HWND child = Make(WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, main);
    Heard heard;
    for (HWND h : {main, hidden, owned, child}) On(h, Recorder(heard));
    plat::ui::EndSession();  // the windows say FALSE: a forced end goes on anyway
    Pump();
    auto count = [&](HWND h, UINT m) { return std::count(heard.begin(), heard.end(), std::pair{h, m}); };
    for (HWND h : {main, hidden, owned}) {
        EXPECT_EQ(count(h, WM_QUERYENDSESSION), 1) << h;
        EXPECT_EQ(count(h, WM_ENDSESSION), 1) << h;
    }
    EXPECT_EQ(count(main, WM_CLOSE), 1);
    EXPECT_EQ(count(hidden, WM_CLOSE), 1);
    EXPECT_EQ(count(owned, WM_CLOSE), 0) << "its owner closes it";
    EXPECT_EQ(count(child, WM_QUERYENDSESSION), 0) << "top-level windows only";
    // Every window is asked before any is told, and told before any closes.
    auto first = [&](UINT m) {
        return std::find_if(heard.begin(), heard.end(), [&](const auto& e) { return e.second == m; }) - heard.begin();
    };
    auto last = [&](UINT m) {
        return heard.rend() - std::find_if(heard.rbegin(), heard.rend(), [&](const auto& e) { return e.second == m; }) - 1;
    };
    EXPECT_LT(last(WM_QUERYENDSESSION), first(WM_ENDSESSION));
    EXPECT_LT(last(WM_ENDSESSION), first(WM_CLOSE));
}

TEST_F(SessionEndTest, ASignalEndsTheSessionThroughTheWindowsThreadAndASecondOneIsFinal) {
    HWND main = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    On(main, [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_CLOSE) return std::nullopt;
        PostQuitMessage(0);
        return LRESULT(0);
    });
    EXPECT_FALSE(plat::ui::RequestSessionEnd()) << "nothing asked for it yet";
    plat::ui::EndSessionOnSignals();
    ASSERT_TRUE(plat::ui::SessionEndInstalled());
    raise(SIGTERM);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);  // served while the deliverer sends
    const auto seq = Sequence(main);
    EXPECT_TRUE(Has(seq, WM_QUERYENDSESSION));
    EXPECT_TRUE(Has(seq, WM_ENDSESSION));
    EXPECT_TRUE(Has(seq, WM_CLOSE));
    struct sigaction now {};
    sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL) << "a second signal would end the program";
}

TEST_F(SessionEndTest, WithoutWindowsTheLoopIsToldToQuit) {
    plat::ui::EndSessionOnSignals();
    plat::ui::EndSession();
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
}

// A program asks for the end first thing, before its thread has handled any
// message: an end that comes before the first window still tells that
// thread's loop to quit, instead of being lost for want of a queue.
TEST_F(SessionEndTest, AnEndBeforeTheFirstMessageStillReachesTheLoop) {
    if (plat::ui::SessionEndInstalled()) GTEST_SKIP() << "an earlier test of this process asked for it";
    std::promise<void> asked, ended;
    bool quit = false;
    std::thread program([&] {
        plat::ui::EndSessionOnSignals();
        asked.set_value();
        ended.get_future().wait();
        MSG msg;
        quit = PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message == WM_QUIT;
    });
    asked.get_future().wait();
    plat::ui::EndSession();  // as the delivering thread does
    ended.set_value();
    program.join();
    EXPECT_TRUE(quit);
}
