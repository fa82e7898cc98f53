#include "commands/MenuRules.h"

#include "commands/CommandIds.h"
#include "commands/Opacity.h"

namespace cmd {
namespace {

MenuItemState Checked(DWORD value) { return {value != 0, true}; }
MenuItemState Disabled() { return {false, false}; }
MenuItemState EnabledIf(bool enabled) { return {false, enabled}; }

// A toggle checked by its setting, in both menus.
std::optional<DWORD> ToggleSetting(UINT id, const GuiSettings& s) {
    switch (id) {
        case kAlwaysOnTop: return s.AlwaysOnTop;
        case kSnapToBorders: return s.Snap;
        case kKeyboardLed: return s.KeyboardLed;
        case kAutostart: return s.Autostart;
        default: return std::nullopt;
    }
}

// A drive-group item: its setting and whether its group has rows.
struct GroupItem {
    DWORD shown;
    bool hasRows;
};
std::optional<GroupItem> GroupOf(UINT id, const GuiSettings& s, const MenuFacts& f) {
    switch (id) {
        case kShowCD: return GroupItem{s.ShowCD, f.hasCDRows};
        case kShowTape: return GroupItem{s.ShowTape, f.hasTapeRows};
        case kShowNetwork: return GroupItem{s.ShowNetwork, f.hasNetworkRows};
        case kShowRemovable: return GroupItem{s.ShowRemovable, f.hasRemovableRows};
        default: return std::nullopt;
    }
}

std::optional<MenuItemState> ContextRule(UINT id, const GuiSettings& s, const MenuFacts& f) {
    if (const auto setting = ToggleSetting(id, s)) return Checked(*setting);
    if (const auto group = GroupOf(id, s, f)) return group->hasRows ? Checked(group->shown) : Disabled();
    if (IsOpacityCommand(id)) {
        if (!s.TransparencyAvailable) return Disabled();
        return Checked(AlphaOfOpacityCommand(id) == s.Alpha);
    }
    switch (id) {
        case kHorizontal: return Checked(s.Horizontal);
        case kAutoHide: return Checked(s.AutoHide);
        case kSmartDisplay: return MenuItemState{s.SmartEnabled && s.SmartDisplay, f.smartAvailable};
        case kTitle: return Disabled();
        case kSmartDetails: return EnabledIf(f.smartAvailable && f.overRow);
        case kShortSelfTest:
        case kExtendedSelfTest: return EnabledIf(f.smartAvailable && f.overRow && f.rowCanSelfTest);
        case kResetAlert: return EnabledIf(f.alertActive);
        default: return std::nullopt;
    }
}

std::optional<MenuItemState> TrayRule(UINT id, const GuiSettings& s, const MenuFacts& f) {
    if (const auto setting = ToggleSetting(id, s)) return Checked(*setting);
    if (const auto group = GroupOf(id, s, f)) return Checked(group->shown);
    if (IsOpacityCommand(id))
        return MenuItemState{AlphaOfOpacityCommand(id) == s.Alpha, s.Alpha != 0 && s.TransparencyAvailable != 0};
    switch (id) {
        case kSmartDisplay: return Checked(s.SmartDisplay);
        case kTitle: return Disabled();
        case kSmartDetails: return EnabledIf(f.smartAvailable);
        case kShortSelfTest:
        case kExtendedSelfTest: return Disabled();
        case kResetAlert: return EnabledIf(f.alertActive);
        default: return std::nullopt;
    }
}

void ApplyTo(HMENU menu, UINT position, const MenuItemState& state) {
    CheckMenuItem(menu, position, MF_BYPOSITION | (state.checked ? MF_CHECKED : MF_UNCHECKED));
    EnableMenuItem(menu, position, MF_BYPOSITION | (state.enabled ? MF_ENABLED : MF_GRAYED));
}

}  // namespace

std::optional<MenuItemState> MenuItemRule(MenuKind kind, UINT id, const GuiSettings& s, const MenuFacts& facts) {
    return kind == MenuKind::Context ? ContextRule(id, s, facts) : TrayRule(id, s, facts);
}

void ApplyMenuRules(HMENU menu, MenuKind kind, const GuiSettings& s, const MenuFacts& facts) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (HMENU submenu = GetSubMenu(menu, i)) {
            ApplyMenuRules(submenu, kind, s, facts);
            continue;
        }
        if (const auto state = MenuItemRule(kind, GetMenuItemID(menu, i), s, facts)) ApplyTo(menu, UINT(i), *state);
    }
}

bool ApplyMenuRule(CCmdUI* ui, MenuKind kind, const GuiSettings& s, const MenuFacts& facts) {
    const auto state = MenuItemRule(kind, ui->m_nID, s, facts);
    if (!state) return false;
    ui->SetCheck(state->checked ? 1 : 0);
    ui->Enable(state->enabled);
    return true;
}

}  // namespace cmd
