// The two menus' check and enable rules, case by case and applied to the
// real menu 145 of LUMEXRS.DLL.
#include "commands/MenuRules.h"

#include "base/text.h"
#include "commands/CommandIds.h"
#include "resource/module.h"
#include "ui_test_support.h"

namespace {

using cmd::MenuFacts;
using cmd::MenuItemState;
using cmd::MenuKind;

constexpr MenuItemState kChecked{true, true};
constexpr MenuItemState kUnchecked{false, true};
constexpr MenuItemState kDisabled{false, false};

MenuFacts AllGroupsWithDevice() {
    MenuFacts f;
    f.hasCDRows = f.hasTapeRows = f.hasNetworkRows = f.hasRemovableRows = true;
    f.smartAvailable = true;
    return f;
}

std::optional<MenuItemState> Context(UINT id, const GuiSettings& s, const MenuFacts& f) {
    return cmd::MenuItemRule(MenuKind::Context, id, s, f);
}
std::optional<MenuItemState> Tray(UINT id, const GuiSettings& s, const MenuFacts& f) {
    return cmd::MenuItemRule(MenuKind::Tray, id, s, f);
}

TEST(ContextMenuRules, SmartItemsFollowTheRowUnderTheClick) {
    GuiSettings s;
    MenuFacts f = AllGroupsWithDevice();
    // Over empty space: details and both self-tests are disabled.
    for (UINT id : {cmd::kSmartDetails, cmd::kShortSelfTest, cmd::kExtendedSelfTest})
        EXPECT_EQ(Context(id, s, f), kDisabled) << id;
    // Over a disk whose record lacks the self-test bit: only the self-tests.
    f.overRow = true;
    EXPECT_EQ(Context(cmd::kSmartDetails, s, f), kUnchecked);
    EXPECT_EQ(Context(cmd::kShortSelfTest, s, f), kDisabled);
    EXPECT_EQ(Context(cmd::kExtendedSelfTest, s, f), kDisabled);
    f.rowCanSelfTest = true;
    EXPECT_EQ(Context(cmd::kShortSelfTest, s, f), kUnchecked);
    // Without any S.M.A.R.T. device all four are disabled.
    f.smartAvailable = false;
    for (UINT id : {cmd::kSmartDisplay, cmd::kSmartDetails, cmd::kShortSelfTest, cmd::kExtendedSelfTest})
        EXPECT_FALSE(Context(id, s, f)->enabled) << id;
}

TEST(ContextMenuRules, TogglesGroupsAndFixedItems) {
    GuiSettings s;
    s.Horizontal = 1;
    s.KeyboardLed = 0;
    s.AutoHide = 1;
    s.Autostart = 1;
    s.ShowCD = 0;
    s.ShowNetwork = 1;
    MenuFacts f = AllGroupsWithDevice();
    f.hasTapeRows = false;
    EXPECT_EQ(Context(cmd::kHorizontal, s, f), kChecked);
    EXPECT_EQ(Context(cmd::kKeyboardLed, s, f), kUnchecked);
    EXPECT_EQ(Context(cmd::kAutoHide, s, f), kChecked);
    EXPECT_EQ(Context(cmd::kAutostart, s, f), kChecked);
    EXPECT_EQ(Context(cmd::kShowCD, s, f), kUnchecked);
    EXPECT_EQ(Context(cmd::kShowNetwork, s, f), kChecked);
    EXPECT_EQ(Context(cmd::kShowTape, s, f), kDisabled) << "a group without rows";
    EXPECT_EQ(Context(cmd::kTitle, s, f), kDisabled);
    EXPECT_EQ(Context(cmd::kResetAlert, s, f), kDisabled);
    f.alertActive = true;
    EXPECT_EQ(Context(cmd::kResetAlert, s, f), kUnchecked);
    EXPECT_EQ(Context(cmd::kSmartDisplay, s, f), kChecked);
    s.SmartEnabled = 0;
    EXPECT_EQ(Context(cmd::kSmartDisplay, s, f), kUnchecked) << "checked only while S.M.A.R.T. is enabled";
    for (UINT id : {cmd::kCelsiusFahrenheit, cmd::kMinimizeToTray, cmd::kRestoreFromTray, cmd::kExit, cmd::kAbout})
        EXPECT_EQ(Context(id, s, f), std::nullopt) << id;
}

TEST(MenuRules, OpacityItemsNeedTransparency) {
    GuiSettings s;
    s.Alpha = 179;
    const MenuFacts f;
    s.TransparencyAvailable = 1;
    for (UINT id = cmd::kOpacity0; id <= cmd::kOpacity90; ++id) {
        const MenuItemState expected = id == cmd::kOpacity0 + 3 ? kChecked : kUnchecked;
        EXPECT_EQ(Context(id, s, f), expected) << id;
        EXPECT_EQ(Tray(id, s, f), expected) << id;
    }
    s.TransparencyAvailable = 0;
    for (UINT id = cmd::kOpacity0; id <= cmd::kOpacity90; ++id) {
        EXPECT_EQ(Context(id, s, f), kDisabled) << id;
        EXPECT_FALSE(Tray(id, s, f)->enabled) << id;
    }
    s.TransparencyAvailable = 1;
    s.Alpha = 0;
    EXPECT_FALSE(Tray(cmd::kOpacity0, s, f)->enabled);
}

TEST(TrayMenuRules, GroupsAreOnlyCheckedAndSelfTestsNeedARow) {
    GuiSettings s;
    s.ShowCD = 0;
    s.ShowTape = 1;
    MenuFacts f;  // no rows in any group, no device
    EXPECT_EQ(Tray(cmd::kShowCD, s, f), kUnchecked);
    EXPECT_EQ(Tray(cmd::kShowTape, s, f), kChecked);
    EXPECT_EQ(Tray(cmd::kHorizontal, s, f), std::nullopt);
    EXPECT_EQ(Tray(cmd::kAutoHide, s, f), std::nullopt);
    EXPECT_EQ(Tray(cmd::kSmartDetails, s, f), kDisabled);
    f.smartAvailable = true;
    EXPECT_EQ(Tray(cmd::kSmartDetails, s, f), kUnchecked) << "details of every row";
    EXPECT_EQ(Tray(cmd::kShortSelfTest, s, f), kDisabled);
}

class LoadedMenuTest : public uitest::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        const std::u16string path = plat::Utf8ToUtf16(LUMEX_RESOURCES);
        m_library = LoadLibraryW(path.c_str());
        ASSERT_NE(m_library, nullptr);
        m_menu = LoadMenuW(m_library, MAKEINTRESOURCEW(cmd::kMenu));
        ASSERT_NE(m_menu, nullptr);
        m_popup = GetSubMenu(m_menu, 0);
    }
    void TearDown() override {
        DestroyMenu(m_menu);
        FreeLibrary(m_library);
        UiTest::TearDown();
    }
    MenuItemState StateOf(UINT id) const {
        const UINT state = GetMenuState(m_popup, id, MF_BYCOMMAND);
        return {(state & MF_CHECKED) != 0, (state & (MF_GRAYED | MF_DISABLED)) == 0};
    }
    HMODULE m_library = nullptr;
    HMENU m_menu = nullptr;
    HMENU m_popup = nullptr;
};

TEST_F(LoadedMenuTest, RulesReachItemsInSubmenus) {
    GuiSettings s;
    s.ShowCD = 0;
    s.AlwaysOnTop = 1;
    s.TransparencyAvailable = 1;
    s.Alpha = 255;
    MenuFacts f = AllGroupsWithDevice();
    cmd::ApplyMenuRules(m_popup, MenuKind::Tray, s, f);
    EXPECT_EQ(StateOf(cmd::kShowCD), kUnchecked) << "in the drives submenu";
    EXPECT_EQ(StateOf(cmd::kAlwaysOnTop), kChecked) << "in the window submenu";
    EXPECT_EQ(StateOf(cmd::kOpacity0), kChecked) << "in the opacity submenu";
    EXPECT_EQ(StateOf(cmd::kTitle), kDisabled);

    f.hasCDRows = false;
    cmd::ApplyMenuRules(m_popup, MenuKind::Context, s, f);
    EXPECT_EQ(StateOf(cmd::kShowCD), kDisabled);
    EXPECT_EQ(StateOf(cmd::kSmartDetails), kDisabled);
}

TEST_F(LoadedMenuTest, UpdateHandlersGiveTheSameAnswer) {
    GuiSettings s;
    s.Snap = 1;
    const MenuFacts f = AllGroupsWithDevice();
    CCmdUI ui;
    ui.m_hMenu = m_popup;
    ui.m_nID = cmd::kResetAlert;
    for (int i = 0; i < GetMenuItemCount(m_popup); ++i)
        if (GetMenuItemID(m_popup, i) == cmd::kResetAlert) ui.m_nIndex = UINT(i);
    EXPECT_TRUE(cmd::ApplyMenuRule(&ui, MenuKind::Context, s, f));
    EXPECT_EQ(StateOf(cmd::kResetAlert), kDisabled);
    ui.m_nID = cmd::kExit;
    EXPECT_FALSE(cmd::ApplyMenuRule(&ui, MenuKind::Context, s, f));
}

}  // namespace
