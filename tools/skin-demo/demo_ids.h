// Identifiers of the skin-demo's resource library (res/skin_demo.rcs).
#pragma once

#include "ui/ui_constants.h"

namespace skindemo {

constexpr UINT IDD_DEMO = 500;
constexpr UINT IDB_FACE = 201, IDB_MASK = 202, IDB_HOVER = 203, IDB_PRESSED = 204, IDB_DISABLED = 205;
constexpr UINT IDB_FACE2 = 211, IDB_THUMB = 221, IDB_THUMB_PRESSED = 222;
constexpr UINT IDS_BUTTON_EXIT = 300, IDS_BUTTON_SNAP = 301, IDS_BUTTON_HIDE = 302, IDS_BUTTON_START = 303;
constexpr UINT IDS_PROGRESS = 310, IDS_SLIDER_COLOR = 320;
constexpr UINT IDS_LABEL_TITLE = 330, IDS_LABEL_NEWS = 331, IDS_LABEL_START = 332, IDS_LABEL_TINT = 333,
               IDS_LABEL_TINT_VALUE = 334;

// The library's file name, found beside the program.
constexpr char16_t kResourceLibrary[] = u"SKINDEMO.DLL";

}  // namespace skindemo
