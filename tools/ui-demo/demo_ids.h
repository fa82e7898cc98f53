// Identifiers of the ui-demo's resource library (res/ui_demo.rcs).
#pragma once

#include "ui/ui_constants.h"

namespace demo {

constexpr UINT IDS_TITLE = 100;
constexpr UINT IDS_ABOUT = 101;
constexpr UINT IDS_TIP_OK = 110;
constexpr UINT IDS_TIP_CANCEL = 111;
constexpr UINT IDS_TIP_SPEED = 112;
constexpr UINT IDS_TIP_PLATTER = 113;
constexpr UINT IDB_SKIN = 200;
constexpr UINT IDI_APP = 1;
constexpr UINT IDA_PLATTER = 300;
constexpr UINT IDR_PANEL_MENU = 400;
constexpr UINT IDD_SETTINGS = 500;

constexpr UINT IDC_SPEED = 1001;
constexpr UINT IDC_PLATTER = 1002;
constexpr UINT IDC_SPEED_LABEL = 1010;
constexpr UINT IDC_SPEED_VALUE = 1011;
constexpr UINT IDC_WATCHING = 1012;

constexpr UINT ID_SETTINGS = 40001;
constexpr UINT ID_ON_TOP = 40002;
constexpr UINT ID_ABOUT = 40003;
constexpr UINT ID_EXIT = 40004;
constexpr UINT ID_HIDE = 40006;
constexpr UINT ID_RESTORE = 40007;  // the tray icon's default command

constexpr UINT WM_TRAY_ICON = WM_APP + 100;

// The library's file name, found beside the program.
constexpr char16_t kResourceLibrary[] = u"UIDEMORS.DLL";

}  // namespace demo
