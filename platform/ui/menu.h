// Menus: popup and bar menus built in code or loaded from a resource library,
// with check and enable states. A menu owns its submenus; destroying it
// destroys them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/object_table.h"
#include "resource/resource_types.h"
#include "ui/ui_types.h"

constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_DEFAULT = 0x1000;  // the item a double click would choose, drawn bold

namespace plat::ui {

struct MenuItem {
    UINT flags = 0;  // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_SEPARATOR, MF_POPUP, MF_DEFAULT
    UINT id = 0;
    std::u16string text;
    HMENU submenu = nullptr;
};

class Menu final : public UiObject {
public:
    std::vector<MenuItem> items;
    bool popup = true;
};

std::shared_ptr<Menu> LookupMenu(HMENU menu);

// The item addressed by id (searching submenus) or position; null if none.
MenuItem* FindMenuItem(HMENU menu, UINT item, UINT by_flags);

}  // namespace plat::ui

HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id_or_popup, LPCWSTR text);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
HMENU GetSubMenu(HMENU menu, int position);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);
int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int capacity, UINT flags);
HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
// One item of the menu (not of its submenus) is its default; UINT(-1) clears
// it. GetMenuDefaultItem gives the id, or the position with by_position,
// and UINT(-1) when there is none.
BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT by_position);
UINT GetMenuDefaultItem(HMENU menu, UINT by_position, UINT flags);
