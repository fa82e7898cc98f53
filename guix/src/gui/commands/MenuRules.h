// The check and enable rules of the LED window's two menus (its context
// menu and the tray icon's menu, both the first submenu of menu 145), as
// functions of the window's state. The window applies them to the freshly
// loaded menu before tracking it, and its command-update handlers give the
// same answers item by item.
#pragma once

#include <optional>

#include "Settings.h"
#include "ui/framework_wnd.h"

namespace cmd {

// What the rules look at besides the settings block.
struct MenuFacts {
    bool hasCDRows = false;
    bool hasTapeRows = false;
    bool hasNetworkRows = false;
    bool hasRemovableRows = false;
    bool smartAvailable = false;  // at least one S.M.A.R.T. device is set up
    bool overRow = false;         // opened over a row that has a S.M.A.R.T. device
    bool rowCanSelfTest = false;  // that row's record carries SMART_FLAG_SELFTEST
    bool alertActive = false;
};

enum class MenuKind { Context, Tray };

struct MenuItemState {
    bool checked = false;
    bool enabled = true;
    bool operator==(const MenuItemState&) const = default;
};

// The state the rules give item `id`; nothing for items without a rule,
// which stay as the menu resource has them.
//
// Context menu: the toggles are checked by their settings (168 only while
// `SmartEnabled`); a drive-group item is disabled while its group has no
// rows; 210 is always disabled; the opacity item equal to `Alpha` is checked,
// or all ten are disabled without transparency; details and self-tests need
// a device and a row (self-tests the row's self-test flag); reset alert
// needs an alert.
//
// Tray menu: the same toggles and group items are only checked; the opacity
// item equal to `Alpha` is checked and the ten are enabled unless `Alpha` is
// 0 or there is no transparency (a choice that could not show would do
// nothing). As the tray menu has no row, details (of every row) need only a
// device, and the two self-tests are disabled; reset alert needs an alert.
std::optional<MenuItemState> MenuItemRule(MenuKind kind, UINT id, const GuiSettings& s, const MenuFacts& facts);

// Applies the rules to every item of `menu` and of its submenus.
void ApplyMenuRules(HMENU menu, MenuKind kind, const GuiSettings& s, const MenuFacts& facts);

// A command-update handler's answer for `ui->m_nID`; false when the item
// has no rule.
bool ApplyMenuRule(CCmdUI* ui, MenuKind kind, const GuiSettings& s, const MenuFacts& facts);

}  // namespace cmd
