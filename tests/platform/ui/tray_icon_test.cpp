#include "ui/tray_icon.h"

#include "ui_test_support.h"

using namespace uitest;

namespace {

constexpr UINT WM_TRAY = WM_APP + 1;

struct RecordingTray : plat::ui::TrayHost {
    std::vector<std::u16string> shown;
    int removed = 0;
    bool Show(const plat::ui::TrayIcon& icon) override {
        shown.push_back(icon.tip);
        return true;
    }
    void Remove(HWND, UINT) override { ++removed; }
};

class TrayIconTest : public UiTest {
protected:
    void TearDown() override {
        plat::ui::SetTrayHost(nullptr);
        UiTest::TearDown();
    }
    NOTIFYICONDATAW Data(HWND owner, const char16_t* tip) {
        NOTIFYICONDATAW nid;
        nid.hWnd = owner;
        nid.uID = 1;
        nid.uFlags = NIF_MESSAGE | NIF_TIP;
        nid.uCallbackMessage = WM_TRAY;
        std::copy_n(tip, std::char_traits<char16_t>::length(tip), nid.szTip);
        return nid;
    }
};

}  // namespace

TEST_F(TrayIconTest, IconsReportMouseEventsToTheirOwner) {
    auto tray = std::make_shared<RecordingTray>();
    plat::ui::SetTrayHost(tray);
    EXPECT_TRUE(plat::ui::TrayAvailable());
    HWND owner = Make(WS_POPUP, RECT{0, 0, 10, 10});
    NOTIFYICONDATAW nid = Data(owner, u"Zelmor Lumetra");
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &nid));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &nid)) << "added once";
    NOTIFYICONDATAW tip = Data(owner, u"2 drives");
    tip.uFlags = NIF_TIP;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &tip));
    EXPECT_EQ(tray->shown, (std::vector<std::u16string>{u"Zelmor Lumetra", u"2 drives"}));

    plat::ui::TrayIconEvent(owner, 1, WM_RBUTTONUP);
    Pump();
    const auto events = SeenOf(WM_TRAY, owner);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].wparam, 1u);
    EXPECT_EQ(events[0].lparam, LPARAM(WM_RBUTTONUP));

    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &nid));
    EXPECT_EQ(tray->removed, 1);
    EXPECT_TRUE(plat::ui::TrayIcons().empty());
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &tip));
}

TEST_F(TrayIconTest, WithoutANotificationAreaTheIconIsAbsent) {
    HWND owner = Make(WS_POPUP, RECT{0, 0, 10, 10});
    NOTIFYICONDATAW nid = Data(owner, u"Zelmor Lumetra");
    EXPECT_FALSE(plat::ui::TrayAvailable());
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &nid));
    EXPECT_TRUE(plat::ui::TrayIcons().empty());
}
