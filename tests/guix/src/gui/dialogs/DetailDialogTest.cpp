// The details dialog's window: its skin, its lines in place with their
// whole values, the record as it was at opening, the buttons, commands and
// context menu, read back from the headless backend.
#include "DialogTestSupport.h"
#include "SMARTDetailDialog.h"
#include "base/text.h"
#include "skin/SkinLabel.h"
#include "ui/modal_loop.h"
#include "ui/save_file_dialog.h"

using namespace dlgtest;

namespace {

class DetailDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        m_device.flags = SMART_FLAG_POWER_ON_HOURS | SMART_FLAG_TEMPERATURE;
        m_device.counters.powerOnHours = 30;
        m_device.counters.temperature = 40;
        plat::CopyToField(m_device.model, kModelChars, u"ACME Disk 2000");
    }
    std::u16string Text(CSMARTDetailDialog& d, std::u16string_view name) {
        CSkinLabel* label = d.FindLabel(name);
        return label ? label->GetText() : u"<none>";
    }
    // The label's tooltip text; "" also when it has none.
    std::u16string Tip(CSMARTDetailDialog& d, std::u16string_view name) {
        CSkinLabel* label = d.FindLabel(name);
        if (!label || !label->Tooltip().Exists()) return u"";
        WCHAR text[128] = {};
        TTTOOLINFOW info;
        info.hwnd = label->m_hWnd;
        info.uId = 1;
        info.lpszText = text;
        SendMessageW(label->Tooltip().Control().m_hWnd, TTM_GETTEXTW, 0, reinterpret_cast<LPARAM>(&info));
        return text;
    }
    RECT InParent(const CWnd& control) {
        RECT r;
        GetWindowRect(control.m_hWnd, &r);
        MapWindowPoints(nullptr, GetParent(control.m_hWnd), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    SmartDevice m_device;
    OwnerWindow m_owner;
};

}  // namespace

TEST_F(DetailDialogTest, TheSkinButtonsAndFourteenLinesAreInPlace) {
    CSMARTDetailDialog dialog(&m_owner, m_settings);
    dialog.SetDevice(&m_device);
    ASSERT_TRUE(dialog.Open());
    Pump();
    EXPECT_EQ(dialog.SkinWidth(), 300);
    EXPECT_GT(dialog.SkinHeight(), 209) << "room for the last line";
    EXPECT_TRUE(GetWindowLongW(dialog.m_hWnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    ASSERT_EQ(dialog.ButtonCount(), 3u);
    EXPECT_NE(dialog.FindButton(u"BUTTON_SAVE"), nullptr);
    ASSERT_EQ(dialog.LabelCount(), 14u);
    EXPECT_EQ(InParent(*dialog.FindLabel(u"DETAIL_MODEL")), (RECT{15, 22, 280, 37}));
    EXPECT_EQ(InParent(*dialog.FindLabel(u"DETAIL_TEMPERATURE")), (RECT{15, 194, 280, 209}));
    EXPECT_EQ(Text(dialog, u"DETAIL_MODEL"), u"ACME Disk 2000");
    EXPECT_EQ(Text(dialog, u"DETAIL_POWER_ON"), u"Power-on time:\t1 day, 6 hours") << "the hours are not lost";
    EXPECT_EQ(Text(dialog, u"DETAIL_TEMPERATURE"), u"Temp. (°C):\t40 (limit 60)");

    EXPECT_EQ(Tip(dialog, u"DETAIL_POWER_ON"), u"") << "the hours are no tooltip";

    // Text is drawn: the model's line holds pixels darker than its background.
    int dark = 0;
    for (int x = 15; x < 135; ++x)
        for (int y = 22; y < 37; ++y) dark += (Shown(dialog.m_hWnd, x, y) & 0xFF) < 0x80;
    EXPECT_GT(dark, 20);
}

TEST_F(DetailDialogTest, AValueWithACommaIsTheLinesWholeTextAndNoTooltip) {
    plat::CopyToField(m_device.model, kModelChars, u"ACME, Inc. Disk");
    plat::CopyToField(m_device.serial, kSerialChars, u"12,34");
    CSMARTDetailDialog dialog(&m_owner, m_settings);
    dialog.SetDevice(&m_device);
    ASSERT_TRUE(dialog.Open());
    EXPECT_EQ(Text(dialog, u"DETAIL_MODEL"), u"ACME, Inc. Disk");
    EXPECT_EQ(Tip(dialog, u"DETAIL_MODEL"), u"");
    EXPECT_TRUE(Text(dialog, u"DETAIL_FIRMWARE").ends_with(u"Serial 12,34"));
    EXPECT_EQ(Tip(dialog, u"DETAIL_FIRMWARE"), u"");
}

TEST_F(DetailDialogTest, TheLinesShowTheRecordAsItWasWhenTheDialogOpened) {
    CSMARTDetailDialog dialog(&m_owner, m_settings);
    dialog.SetDevice(&m_device);
    dialog.SetFahrenheit(1);
    ASSERT_TRUE(dialog.Open());
    EXPECT_EQ(Text(dialog, u"DETAIL_TEMPERATURE"), u"Temp. (°F):\t104 (limit 140)");
    m_device.counters.temperature = 50;
    Pump();
    EXPECT_EQ(Text(dialog, u"DETAIL_TEMPERATURE"), u"Temp. (°F):\t104 (limit 140)");
    dialog.Close();
    ASSERT_TRUE(dialog.Open());
    EXPECT_EQ(Text(dialog, u"DETAIL_TEMPERATURE"), u"Temp. (°F):\t122 (limit 140)") << "made again at opening";
}

TEST_F(DetailDialogTest, ButtonsAndCommandsReachTheLedWindowOrCloseTheDialog) {
    CSMARTDetailDialog dialog(&m_owner, m_settings);
    dialog.SetDevice(&m_device);
    ASSERT_TRUE(dialog.Open());
    dialog.OnSkinButton(u"BUTTON_MINIMIZE");
    dialog.SendMessage(WM_COMMAND, 206);
    dialog.SendMessage(WM_COMMAND, 167);
    EXPECT_EQ(m_owner.commands, (std::vector<UINT>{155, 155, 205}));

    int chooserCalls = 0;
    plat::ui::SetFileChooser([&](const plat::ui::SaveRequest&) {
        ++chooserCalls;
        return std::optional<std::string>();
    });
    dialog.SendMessage(WM_COMMAND, 180);
    dialog.OnSkinButton(u"BUTTON_SAVE");
    plat::ui::SetFileChooser(nullptr);
    EXPECT_EQ(chooserCalls, 2) << "command 180 and the save button ask for a file";

    dialog.SendMessage(WM_COMMAND, IDOK);
    EXPECT_TRUE(dialog.IsOpen()) << "Enter does not close";
    dialog.SendMessage(WM_COMMAND, 58116);
    EXPECT_FALSE(dialog.IsOpen());
    ASSERT_TRUE(dialog.Open());
    dialog.OnSkinButton(u"BUTTON_EXIT");
    EXPECT_FALSE(dialog.IsOpen());
    ASSERT_TRUE(dialog.Open());
    dialog.SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_FALSE(dialog.IsOpen()) << "Escape closes; the object can open again";
}

TEST_F(DetailDialogTest, TheContextMenuOpensInsideTheWindowAndFromTheKeyboard) {
    CSMARTDetailDialog dialog(&m_owner, m_settings);
    dialog.SetDevice(&m_device);
    ASSERT_TRUE(dialog.Open());
    std::vector<RECT> menus;
    plat::ui::SetModalShownHook([&](HWND menu) {
        RECT r;
        GetWindowRect(menu, &r);
        menus.push_back(r);
        plat::ui::InjectKey(VK_ESCAPE, true);
        plat::ui::InjectKey(VK_ESCAPE, false);
    });
    RECT window;
    GetWindowRect(dialog.m_hWnd, &window);
    dialog.SendMessage(WM_CONTEXTMENU, WPARAM(dialog.m_hWnd), MAKELPARAM(window.left + 40, window.top + 50));
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].left, window.left + 40);
    EXPECT_EQ(menus[0].top, window.top + 50);

    dialog.SendMessage(WM_CONTEXTMENU, WPARAM(dialog.m_hWnd), MAKELPARAM(-1, -1));
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[1].left, window.left) << "the menu key: at the bottom-left corner";
    EXPECT_EQ(menus[1].top, window.bottom);

    dialog.SendMessage(WM_CONTEXTMENU, WPARAM(dialog.m_hWnd), MAKELPARAM(window.right + 20, window.top));
    EXPECT_EQ(menus.size(), 2u) << "outside the client area: no menu";
}
