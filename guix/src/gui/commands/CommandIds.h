// The LED window's command ids (items of menu 145, the skinned buttons'
// commands) and the window messages its buttons and its tray icon post.
#pragma once

#include "base/wintypes.h"

namespace cmd {

inline constexpr UINT kMenu = 145;  // its first submenu is what both menus show

inline constexpr UINT kAlwaysOnTop = 150;
inline constexpr UINT kHorizontal = 151;
inline constexpr UINT kSnapToBorders = 152;
inline constexpr UINT kAutoHide = 32780;
inline constexpr UINT kKeyboardLed = 32772;
inline constexpr UINT kOpacity0 = 157;   // opacity 0 %, 10 %, ... 90 % are 157 to 166
inline constexpr UINT kOpacity90 = 166;
inline constexpr UINT kCelsiusFahrenheit = 32786;
inline constexpr UINT kShowCD = 32777;
inline constexpr UINT kShowTape = 32778;
inline constexpr UINT kShowNetwork = 154;
inline constexpr UINT kShowRemovable = 32779;
inline constexpr UINT kSmartDisplay = 168;
inline constexpr UINT kSmartDetails = 177;
inline constexpr UINT kShortSelfTest = 220;
inline constexpr UINT kExtendedSelfTest = 221;
inline constexpr UINT kResetAlert = 249;
inline constexpr UINT kMinimizeToTray = 155;
inline constexpr UINT kRestoreFromTray = 205;
inline constexpr UINT kAutostart = 207;
inline constexpr UINT kHelp = 178;
inline constexpr UINT kAbout = 148;
inline constexpr UINT kExit = 176;
inline constexpr UINT kTitle = 210;  // always disabled

inline constexpr bool IsOpacityCommand(UINT id) { return id >= kOpacity0 && id <= kOpacity90; }

// Window messages posted by the skinned buttons of the options strip.
inline constexpr UINT kMsgOptionsStrip = 5030;
inline constexpr UINT kMsgShowCD = 5040;
inline constexpr UINT kMsgShowNetwork = 5050;
inline constexpr UINT kMsgShowTape = 5060;
inline constexpr UINT kMsgShowRemovable = 5070;
inline constexpr UINT kMsgHelp = 5080;
inline constexpr UINT kMsgAbout = 5090;
inline constexpr UINT kMsgAutoHide = 5100;
inline constexpr UINT kMsgSnap = 5110;
inline constexpr UINT kMsgAlwaysOnTop = 5120;
inline constexpr UINT kMsgKeyboardLed = 5130;

// The tray icon reports its mouse events through either of these messages;
// only a right-button release (WM_RBUTTONUP, 517) opens the tray menu.
inline constexpr UINT kMsgTrayNotify = 0x8064;
inline constexpr UINT kMsgTrayNotifyAlt = 0x273D;
inline constexpr UINT kTrayMenuEvent = 517;

// Tray icons: normal, alert, S.M.A.R.T. display off.
inline constexpr UINT kIconNormal = 138;
inline constexpr UINT kIconAlert = 208;
inline constexpr UINT kIconSmartOff = 277;

// Resource strings and the bitmap the commands use.
inline constexpr UINT kAutostartValueName = 206;
inline constexpr UINT kAboutText1 = 276;
inline constexpr UINT kAboutText2 = 277;
inline constexpr UINT kAboutBitmap = 295;

}  // namespace cmd
