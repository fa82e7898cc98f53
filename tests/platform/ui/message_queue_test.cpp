#include "ui/message_queue.h"
#include "ui/registered_messages.h"

#include <atomic>

#include "base/clock.h"
#include "base/sync.h"
#include "base/thread.h"
#include "ui_test_support.h"

namespace {

using uitest::UiTest;

class MessageQueueTest : public UiTest {};

TEST_F(MessageQueueTest, CreationSendsItsMessagesInOrder) {
    HWND h = Make(WS_POPUP | WS_VISIBLE, RECT{10, 20, 110, 70});
    const std::vector<UINT> seq = Sequence(h);
    const std::vector<UINT> head(seq.begin(), seq.begin() + 5);
    EXPECT_EQ(head, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}));
    EXPECT_EQ(SeenOf(WM_SIZE, h)[0].lparam, MAKELPARAM(100, 50));
}

TEST_F(MessageQueueTest, CreateFailsWhenWmCreateRefuses) {
    // The handler is installed for the next window by refusing on any handle.
    const ATOM atom = [] {
        WNDCLASSEXW wc;
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            return m == WM_CREATE ? -1 : DefWindowProcW(h, m, w, l);
        };
        wc.lpszClassName = u"RefusesCreate";
        return RegisterClassExW(&wc);
    }();
    ASSERT_NE(atom, 0);
    EXPECT_EQ(CreateWindowExW(0, u"RefusesCreate", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(MessageQueueTest, PostedMessagesComeInOrderThenQuitThenPaint) {
    HWND h = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
    PostMessageW(h, WM_USER + 1, 0, 0);
    PostMessageW(h, WM_USER + 2, 0, 0);
    PostQuitMessage(7);
    MSG m;
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_USER + 1);
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_USER + 2);
    EXPECT_FALSE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 7u);
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_PAINT);
    DispatchMessageW(&m);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) << "painting validated the window";
}

TEST_F(MessageQueueTest, CrossThreadSendRunsOnTheWindowThreadAndWaits) {
    HWND h = Make(WS_POPUP, RECT{0, 0, 10, 10});
    const DWORD mine = GetCurrentThreadId();
    std::atomic<DWORD> ranOn{0};
    On(h, [&](HWND hwnd, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_USER) return std::nullopt;
        ranOn = GetCurrentThreadId();
        PostMessageW(hwnd, WM_USER + 9, 0, 0);  // wakes GetMessage below
        return LRESULT(w * 2);
    });
    std::atomic<LRESULT> result{0};
    HANDLE sender = plat::StartThread([&] {
        result = SendMessageW(h, WM_USER, 21, 0);
        return DWORD(0);
    });
    MSG m;
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_USER + 9u);
    ASSERT_EQ(WaitForSingleObject(sender, INFINITE), WAIT_OBJECT_0);
    CloseHandle(sender);
    EXPECT_EQ(result.load(), 42);
    EXPECT_EQ(ranOn.load(), mine);
}

TEST_F(MessageQueueTest, SendersAnswerEachOtherWithoutDeadlock) {
    HWND mineWindow = Make(WS_POPUP, RECT{0, 0, 10, 10});
    On(mineWindow, [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER + 1) return LRESULT(5);
        return std::nullopt;
    });
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE finish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> otherWindow{nullptr};
    HANDLE other = plat::StartThread([&] {
        // The other thread's window asks back to the first thread while
        // that thread is still waiting for its own answer.
        HWND w = CreateWindowExW(0, TestClass(), u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
        otherWindow = w;
        On(w, [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m == WM_USER) return SendMessageW(mineWindow, WM_USER + 1, 0, 0) + 1;
            return std::nullopt;
        });
        SetEvent(ready);
        MSG msg;
        while (WaitForSingleObject(finish, 0) == WAIT_TIMEOUT && GetMessageW(&msg, nullptr, 0, 0)) DispatchMessageW(&msg);
        DestroyWindow(w);
        return DWORD(0);
    });
    ASSERT_EQ(WaitForSingleObject(ready, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(SendMessageW(otherWindow.load(), WM_USER, 0, 0), 6);
    SetEvent(finish);
    PostMessageW(otherWindow.load(), WM_NULL, 0, 0);
    WaitForSingleObject(other, INFINITE);
    for (HANDLE x : {ready, finish, other}) CloseHandle(x);
}

TEST_F(MessageQueueTest, SendToAThreadThatEndsAnswersZero) {
    HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> w{nullptr};
    HANDLE owner = plat::StartThread([&] {
        w = CreateWindowExW(0, TestClass(), u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
        SetEvent(created);
        WaitForSingleObject(release, INFINITE);  // never pumps
        return DWORD(0);
    });
    WaitForSingleObject(created, INFINITE);
    std::atomic<LRESULT> result{-1};
    HANDLE sender = plat::StartThread([&] {
        result = SendMessageW(w.load(), WM_USER, 0, 0);
        return DWORD(0);
    });
    SetEvent(release);
    ASSERT_EQ(WaitForSingleObject(sender, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(result.load(), 0);
    WaitForSingleObject(owner, INFINITE);
    for (HANDLE x : {created, release, owner, sender}) CloseHandle(x);
}

TEST_F(MessageQueueTest, TimersFollowThePlatformClockAndCoalesce) {
    plat::ScopedManualClock clock;
    HWND h = Make(WS_POPUP, RECT{0, 0, 10, 10});
    ASSERT_NE(SetTimer(h, 7, 100, nullptr), 0u);
    auto timers = [&] {
        Pump();
        const auto n = SeenOf(WM_TIMER, h).size();
        ClearSeen();
        return n;
    };
    EXPECT_EQ(timers(), 0u);
    clock->Advance(99);
    EXPECT_EQ(timers(), 0u);
    clock->Advance(1);
    EXPECT_EQ(timers(), 1u);
    clock->Advance(1000);
    EXPECT_EQ(timers(), 1u) << "late ticks coalesce into one WM_TIMER";
    SetTimer(h, 7, 500, nullptr);  // replaces the timer of the same id
    clock->Advance(400);
    EXPECT_EQ(timers(), 0u);
    clock->Advance(100);
    EXPECT_EQ(timers(), 1u);
    EXPECT_TRUE(KillTimer(h, 7));
    clock->Advance(1000);
    EXPECT_EQ(timers(), 0u);
    EXPECT_FALSE(KillTimer(h, 7));
}

TEST_F(MessageQueueTest, ThreadTimerCallsItsProcedure) {
    plat::ScopedManualClock clock;
    static int calls = 0;
    calls = 0;
    const auto id = SetTimer(nullptr, 0, 50, [](HWND, UINT, std::uintptr_t, DWORD) { ++calls; });
    ASSERT_NE(id, 0u);
    clock->Advance(50);
    Pump();
    EXPECT_EQ(calls, 1);
    KillTimer(nullptr, id);
}

TEST_F(MessageQueueTest, GetMessageWakesForATimerWhenTheClockMoves) {
    plat::ScopedManualClock clock;
    HWND h = Make(WS_POPUP, RECT{0, 0, 10, 10});
    SetTimer(h, 3, 20, nullptr);
    HANDLE mover = plat::StartThread([&] {
        clock->Advance(20);
        return DWORD(0);
    });
    MSG m;
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(m.wParam, 3u);
    WaitForSingleObject(mover, INFINITE);
    CloseHandle(mover);
}

TEST_F(MessageQueueTest, DestroyingAWindowDropsItsMessagesAndTimers) {
    plat::ScopedManualClock clock;
    HWND h = Make(WS_POPUP, RECT{0, 0, 10, 10});
    PostMessageW(h, WM_USER, 0, 0);
    SetTimer(h, 1, 10, nullptr);
    DestroyWindow(h);
    clock->Advance(100);
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(SendMessageW(h, WM_USER, 0, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

}  // namespace

namespace {

TEST_F(MessageQueueTest, PeekFiltersByWindowAndRange) {
    HWND a = Make(WS_POPUP, RECT{0, 0, 10, 10});
    HWND b = Make(WS_POPUP, RECT{0, 0, 10, 10});
    PostMessageW(a, WM_USER + 1, 0, 0);
    PostMessageW(b, WM_USER + 2, 0, 0);
    PostMessageW(a, WM_COMMAND, 5, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_USER + 2);
    ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
    EXPECT_EQ(m.wParam, 5u);
    ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_COMMAND, WM_COMMAND, PM_REMOVE)) << "no-remove left it there";
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_USER + 1);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetMessageW(&m, reinterpret_cast<HWND>(0x4321), 0, 0), -1) << "a filter that is no window";
}

TEST_F(MessageQueueTest, TranslateTurnsKeysIntoCharacters) {
    HWND h = Make(WS_POPUP, RECT{0, 0, 10, 10});
    const struct {
        int vk;
        WCHAR ch;
    } keys[] = {{'A', u'a'}, {'7', u'7'}, {VK_RETURN, u'\r'}, {VK_ESCAPE, 0x1B}, {VK_LEFT, 0}};
    for (const auto& k : keys) {
        ClearSeen();
        MSG m{h, WM_KEYDOWN, WPARAM(k.vk), 1, 0, {}};
        EXPECT_EQ(TranslateMessage(&m) != 0, k.ch != 0) << k.vk;
        Pump();
        const auto chars = SeenOf(WM_CHAR, h);
        ASSERT_EQ(chars.size(), k.ch ? 1u : 0u) << k.vk;
        if (k.ch) {
            EXPECT_EQ(chars[0].wparam, WPARAM(k.ch));
        }
    }
    // The character comes before input that followed its key.
    ClearSeen();
    PostMessageW(h, WM_KEYDOWN, WPARAM(VK_LEFT), 1);
    MSG m{h, WM_KEYDOWN, WPARAM('B'), 1, 0, {}};
    TranslateMessage(&m);
    Pump();
    EXPECT_EQ(Sequence(h), (std::vector<UINT>{WM_CHAR, WM_KEYDOWN}));
}

}  // namespace

TEST(RegisteredMessages, OneNumberPerNameInAnyCase) {
    const UINT created = RegisterWindowMessageW(u"TaskbarCreated");
    EXPECT_GE(created, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageW(u"taskbarcreated"), created);
    const UINT other = RegisterWindowMessageW(u"LumetraTestMessage");
    EXPECT_GE(other, 0xC000u);
    EXPECT_NE(other, created);
    EXPECT_EQ(RegisterWindowMessageW(u""), 0u);
    EXPECT_EQ(RegisterWindowMessageW(nullptr), 0u);
}
