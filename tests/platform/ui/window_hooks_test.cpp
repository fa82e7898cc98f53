#include "ui/window_hooks.h"

#include <string>

#include "base/last_error.h"
#include "base/thread.h"
#include "base/win_errors.h"
#include "ui/dialog.h"
#include "ui/window.h"
#include "ui_test_support.h"

using namespace uitest;

namespace {

std::string g_trace;
HHOOK g_older = nullptr;
HHOOK g_newer = nullptr;

LRESULT Older(int code, WPARAM wp, LPARAM lp) {
    auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lp);
    g_trace += "older:" + std::string(create->lpcs->lpszName ? "named" : "unnamed") + ";";
    // Refuses windows titled "no".
    const bool refuse = create->lpcs->lpszName && std::u16string(create->lpcs->lpszName) == u"no";
    return refuse ? 1 : CallNextHookEx(g_older, code, wp, lp);
}

LRESULT Newer(int code, WPARAM wp, LPARAM lp) {
    g_trace += IsWindow(reinterpret_cast<HWND>(wp)) && code == HCBT_CREATEWND ? "newer;" : "newer?;";
    return CallNextHookEx(g_newer, code, wp, lp);
}

class WindowHooksTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        InitCommonControls();
    }
    void TearDown() override {
        UnhookWindowsHookEx(g_newer);
        UnhookWindowsHookEx(g_older);
        UiTest::TearDown();
    }
    HWND Create(LPCWSTR title) {
        return CreateWindowExW(0, u"STATIC", title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
};

}  // namespace

TEST_F(WindowHooksTest, HooksRunNewestFirstAndCanRefuseAWindow) {
    g_trace.clear();
    g_older = SetWindowsHookExW(WH_CBT, &Older, nullptr, 0);
    g_newer = SetWindowsHookExW(WH_CBT, &Newer, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(g_older && g_newer);

    HWND yes = Create(u"yes");
    EXPECT_TRUE(IsWindow(yes));
    EXPECT_EQ(g_trace, "newer;older:named;");
    DestroyWindow(yes);

    EXPECT_EQ(Create(u"no"), nullptr) << "a hook's refusal fails the creation";

    ASSERT_TRUE(UnhookWindowsHookEx(g_newer));
    EXPECT_FALSE(UnhookWindowsHookEx(g_newer));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HOOK_HANDLE);
    g_newer = nullptr;
    g_trace.clear();
    DestroyWindow(Create(u"yes"));
    EXPECT_EQ(g_trace, "older:named;");
}

TEST_F(WindowHooksTest, OnlyThisThreadsCreationHookIsOffered) {
    EXPECT_EQ(SetWindowsHookExW(4, &Newer, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetWindowsHookExW(WH_CBT, &Newer, nullptr, GetCurrentThreadId() + 1), nullptr);
    EXPECT_EQ(SetWindowsHookExW(WH_CBT, nullptr, nullptr, 0), nullptr);
}
