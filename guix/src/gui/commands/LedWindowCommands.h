// LedWindowCommands: everything a user can do with the LED window. The
// window owns one, hands it its skinned-dialog base, its operations
// (LedWindowOps) and the live settings block, and forwards to it:
//   WM_COMMAND ids and their update handlers  -> OnCommand, OnUpdateCommand
//   skinned buttons and sliders               -> OnSkinButton, OnSkinSlider
//   window messages 5030 to 5130, tray events -> OnWindowMessage
//   WM_CONTEXTMENU, WM_LBUTTONDBLCLK          -> OnContextMenu, OnDoubleClick
//   after every panel drawing                 -> MirrorKeyboardLed
//   WM_DESTROY                                -> OnDestroy
//
// Every option flips its member of the settings block (stored with the
// settings), then does what its command says: toggles with their side
// effects, opacity, the shown drive groups, S.M.A.R.T. display and
// commands, minimising to the tray, autostart, about, help and exit.
//
// The selected row (for details and self-tests) is chosen by the context
// menu and kept until its command has run: the update handler of 177 resets
// it only while another menu (the tray's) is being prepared, so a row
// chosen by a right-click is not lost before its command arrives.
//
// Thread rule: the GUI thread, except MirrorKeyboardLed, which the drawing
// thread may call (see ScrollLockMirror.h). Settings are written here and
// read by the drawing thread without a lock.
#pragma once

#include <string>
#include <thread>

#include "Settings.h"
#include "commands/DriveTools.h"
#include "commands/LedWindowOps.h"
#include "commands/MenuRules.h"

class CSkinDialog;

namespace cmd {

class LedWindowCommands {
public:
    LedWindowCommands(CSkinDialog& dialog, LedWindowOps& window, GuiSettings& settings, SystemFacts system);
    ~LedWindowCommands();
    LedWindowCommands(const LedWindowCommands&) = delete;
    LedWindowCommands& operator=(const LedWindowCommands&) = delete;

    // A command id of the table; false for ids the window does not know.
    bool OnCommand(UINT id);
    // The rules of the menu being prepared; false for items without a rule.
    bool OnUpdateCommand(CCmdUI* ui);
    void OnSkinButton(const std::u16string& name);
    void OnSkinSlider(const std::u16string& name, int code, int position);
    // Messages 5030 to 5130 and the tray icon's notifications; false for others.
    bool OnWindowMessage(UINT message, WPARAM wp, LPARAM lp);
    // `screen` is (-1, -1) when the menu key opened the menu.
    void OnContextMenu(HWND clicked, POINT screen);
    void OnDoubleClick(POINT client);
    void MirrorKeyboardLed(bool any_activity);
    // Scroll Lock goes off if the mirror left it on.
    void OnDestroy();

    // Applies `Alpha` to the window and every open dialog, and the slider.
    void ApplyAlpha();
    // The tray icon the S.M.A.R.T. display and the alert call for.
    UINT TrayIconId() const;

    int SelectedRow() const { return m_selectedRow; }
    // The facts the menu rules look at, for the selected row.
    MenuFacts CurrentMenuFacts() const;

private:
    HWND Window() const;
    void Toggle(DWORD& setting, UINT id);
    void ToggleAlwaysOnTop();
    void ToggleHorizontal();
    void ToggleSnap();
    void ToggleAutoHide();
    void ToggleKeyboardLed();
    void ToggleGroup(DWORD& setting, UINT id);
    void ToggleSmartDisplay();
    void ToggleAutostart();
    void SetOpacity(UINT id);
    void ToggleOptionsStrip();

    void ShowSmartDetails();
    void ShowDetailsUnderCursor();
    void OpenDetailsOfRow(int row);
    void StartSelfTest(SelfTestKind kind);
    void ResetAlert();
    void MinimizeToTray();
    void RestoreFromTray();
    void ShowAbout();
    void Exit(bool log);
    std::vector<CWnd*> OpenDialogs() const;

    void ShowTrayMenu();
    void TrackMenu(MenuKind kind, UINT flags, POINT at);
    void SelectRowAt(POINT client);
    void DoubleClickRowBox(const RowView& row);
    void EjectInBackground(WCHAR letter);

    CSkinDialog& m_dialog;
    LedWindowOps& m_window;
    GuiSettings& m_settings;
    SystemFacts m_system;
    int m_selectedRow = -1;
    bool m_contextMenuOpen = false;  // true while the context menu is tracked
    MenuKind m_openMenu = MenuKind::Context;
    std::thread m_eject;  // the last eject; joined before the next and at the end
};

}  // namespace cmd
