// What the two S.M.A.R.T. dialogs (details and self-test) share: their
// resource texts, the layered style with the LED window's opacity, the
// commands they pass on to the LED window that owns them, and their context
// menu.
#pragma once

#include <string>

#include "Settings.h"
#include "ui/framework_wnd.h"

namespace smartdlg {

// Commands of the LED window the dialogs run.
inline constexpr UINT kOwnerMinimiseToTray = 155;
inline constexpr UINT kOwnerRestore = 205;
// Commands of the dialogs' own context menus.
inline constexpr UINT kCmdHideAll = 206;
inline constexpr UINT kCmdShowAll = 167;
inline constexpr UINT kCmdClose = 58116;

// String resource `id` of the resource library; "" when it is missing.
std::u16string LoadText(UINT id);

// Adds WS_EX_LAYERED and applies the settings' Alpha; when the window
// system takes it, records in TransparencyAvailable that it can.
void ApplyAlpha(CWnd& dialog, GuiSettings& settings);

// Sends command `id` to the owner window, if there is one.
void RunOwnerCommand(CWnd* owner, UINT id);
// The menu commands both dialogs pass on: hide all windows (206) and show
// them again (167). False for any other command.
bool RunSharedCommand(CWnd* owner, UINT id);

// WM_CONTEXTMENU: shows the first submenu of menu resource `menu_id` at
// `point` (screen coordinates) when it lies in the client area, or at the
// window's bottom-left corner when the menu key was used (-1, -1), with the
// dialog as the target of its commands.
void ShowContextMenu(CWnd& dialog, UINT menu_id, POINT point);

}  // namespace smartdlg
