#include "ui/menu.h"

#include "sample_library.h"

using namespace uitest;

class MenuTest : public SampleTest {};

TEST_F(MenuTest, LoadedMenuKeepsStructureAndStates) {
    HMENU bar = LoadMenuW(m_library, MAKEINTRESOURCEW(500));
    ASSERT_NE(bar, nullptr);
    HMENU popup = GetSubMenu(bar, 0);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetMenuItemCount(popup), 5);
    const struct {
        int position;
        UINT id;
        UINT state;
    } items[] = {{0, 32771, 0}, {1, 32772, MF_CHECKED}, {2, 0, MF_SEPARATOR}, {4, 32774, 0}};
    for (const auto& item : items) {
        EXPECT_EQ(GetMenuItemID(popup, item.position), item.id) << item.position;
        EXPECT_EQ(GetMenuState(popup, UINT(item.position), MF_BYPOSITION), item.state) << item.position;
    }
    HMENU more = GetSubMenu(popup, 3);
    ASSERT_NE(more, nullptr);
    EXPECT_EQ(GetMenuState(popup, 3, MF_BYPOSITION), (1u << 8) | MF_POPUP);
    EXPECT_EQ(GetMenuState(bar, 32773, MF_BYCOMMAND), MF_GRAYED) << "found by id through submenus";
    WCHAR text[32];
    EXPECT_EQ(GetMenuStringW(popup, 32774, text, 32, MF_BYCOMMAND), 5);
    EXPECT_EQ(std::u16string(text), u"E&xit");
    EXPECT_TRUE(DestroyMenu(bar));
    EXPECT_FALSE(IsMenu(popup)) << "submenus go with their menu";
}

TEST_F(MenuTest, CheckAndEnableReturnThePreviousState) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 10, u"A");
    AppendMenuW(menu, MF_STRING | MF_GRAYED, 11, u"B");
    EXPECT_EQ(CheckMenuItem(menu, 10, MF_BYCOMMAND | MF_CHECKED), MF_UNCHECKED);
    EXPECT_EQ(CheckMenuItem(menu, 10, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED);
    EXPECT_EQ(EnableMenuItem(menu, 1, MF_BYPOSITION | MF_ENABLED), BOOL(MF_GRAYED));
    EXPECT_EQ(GetMenuState(menu, 11, MF_BYCOMMAND), 0u);
    EXPECT_EQ(CheckMenuItem(menu, 99, MF_BYCOMMAND | MF_CHECKED), DWORD(-1));
    EXPECT_EQ(GetMenuState(menu, 5, MF_BYPOSITION), UINT(-1));
    DestroyMenu(menu);
    EXPECT_EQ(LoadMenuW(m_library, MAKEINTRESOURCEW(501)), nullptr);
}

TEST_F(MenuTest, OneItemOfAMenuIsItsDefault) {
    HMENU bar = LoadMenuW(m_library, MAKEINTRESOURCEW(500));
    HMENU popup = GetSubMenu(bar, 0);
    EXPECT_EQ(GetMenuDefaultItem(popup, FALSE, 0), UINT(-1));
    ASSERT_TRUE(SetMenuDefaultItem(popup, 32771, FALSE));
    ASSERT_TRUE(SetMenuDefaultItem(popup, 4, TRUE)) << "a new default replaces the old one";
    EXPECT_EQ(GetMenuDefaultItem(popup, FALSE, 0), 32774u);
    EXPECT_EQ(GetMenuDefaultItem(popup, TRUE, 0), 4u);
    EXPECT_EQ(GetMenuState(popup, 32771, MF_BYCOMMAND), 0u);
    EXPECT_FALSE(SetMenuDefaultItem(popup, 32773, FALSE)) << "an item of a submenu is not this menu's";
    EXPECT_EQ(GetMenuDefaultItem(popup, FALSE, 0), 32774u) << "a refused call changes nothing";
    ASSERT_TRUE(SetMenuDefaultItem(popup, UINT(-1), FALSE));
    EXPECT_EQ(GetMenuDefaultItem(popup, TRUE, 0), UINT(-1));
    DestroyMenu(bar);
}
