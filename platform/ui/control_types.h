// Messages, styles and records of dialogs and controls: buttons, statics,
// edits, list boxes, the trackbar, the tooltip and the animation control
// (Windows values).
#pragma once

#include "ui/ui_constants.h"

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_MENUSELECT = 0x011F;
constexpr UINT WM_GETDLGCODE = 0x0087;
constexpr UINT WM_NEXTDLGCTL = 0x0028;
constexpr UINT DM_GETDEFID = WM_USER + 0;
constexpr UINT DM_SETDEFID = WM_USER + 1;
constexpr WORD DC_HASDEFID = 0x534B;

// What a control answers to WM_GETDLGCODE: the keys it keeps from the
// dialog's keyboard handling, and what kind of control it is.
constexpr LRESULT DLGC_WANTARROWS = 0x0001;
constexpr LRESULT DLGC_WANTTAB = 0x0002;
constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
constexpr LRESULT DLGC_WANTMESSAGE = 0x0004;
constexpr LRESULT DLGC_HASSETSEL = 0x0008;
constexpr LRESULT DLGC_DEFPUSHBUTTON = 0x0010;
constexpr LRESULT DLGC_UNDEFPUSHBUTTON = 0x0020;
constexpr LRESULT DLGC_RADIOBUTTON = 0x0040;
constexpr LRESULT DLGC_WANTCHARS = 0x0080;
constexpr LRESULT DLGC_STATIC = 0x0100;
constexpr LRESULT DLGC_BUTTON = 0x2000;

struct NMHDR {
    HWND hwndFrom = nullptr;
    UINT_PTR idFrom = 0;
    UINT code = 0;
};

// Owner drawing: the record and the other states are in ui_types.h and
// ui_constants.h.
constexpr UINT ODS_DEFAULT = 0x0020;

// Buttons.
constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
constexpr DWORD BS_RADIOBUTTON = 0x4;
constexpr DWORD BS_USERBUTTON = 0x8;
constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
constexpr DWORD BS_OWNERDRAW = 0xB;
constexpr DWORD BS_TYPEMASK = 0xF;
constexpr DWORD BS_NOTIFY = 0x4000;
constexpr WORD BN_CLICKED = 0;
constexpr WORD BN_DOUBLECLICKED = 5;
constexpr WORD BN_DBLCLK = BN_DOUBLECLICKED;
constexpr UINT BM_GETSTATE = 0x00F2;
constexpr UINT BM_SETSTATE = 0x00F3;
constexpr UINT BM_SETSTYLE = 0x00F4;
constexpr UINT BM_CLICK = 0x00F5;
constexpr LRESULT BST_PUSHED = 0x0004;
constexpr LRESULT BST_FOCUS = 0x0008;

// Statics.
constexpr DWORD SS_LEFT = 0x0;
constexpr DWORD SS_CENTER = 0x1;

// Edit (single-line). The text always scrolls sideways, as with
// ES_AUTOHSCROLL.
constexpr DWORD ES_LEFT = 0x0000;
constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr DWORD ES_READONLY = 0x0800;
constexpr UINT EM_GETSEL = 0x00B0;
constexpr UINT EM_SETSEL = 0x00B1;
constexpr UINT EM_REPLACESEL = 0x00C2;
constexpr WORD EN_SETFOCUS = 0x0100;
constexpr WORD EN_KILLFOCUS = 0x0200;
constexpr WORD EN_CHANGE = 0x0300;

// List box (single selection).
constexpr DWORD LBS_NOTIFY = 0x0001;
constexpr UINT LB_ADDSTRING = 0x0180;
constexpr UINT LB_RESETCONTENT = 0x0184;
constexpr UINT LB_SETCURSEL = 0x0186;
constexpr UINT LB_GETCURSEL = 0x0188;
constexpr UINT LB_GETTEXT = 0x0189;
constexpr UINT LB_GETTEXTLEN = 0x018A;
constexpr UINT LB_GETCOUNT = 0x018B;
constexpr UINT LB_GETTOPINDEX = 0x018E;
constexpr UINT LB_SETTOPINDEX = 0x0197;
constexpr UINT LB_GETITEMRECT = 0x0198;
constexpr UINT LB_GETITEMHEIGHT = 0x01A1;
constexpr LRESULT LB_OKAY = 0;
constexpr LRESULT LB_ERR = -1;
constexpr WORD LBN_SELCHANGE = 1;
constexpr WORD LBN_DBLCLK = 2;
constexpr WORD LBN_SETFOCUS = 4;
constexpr WORD LBN_KILLFOCUS = 5;

// Trackbar.
constexpr DWORD TBS_HORZ = 0x0000;
constexpr DWORD TBS_VERT = 0x0002;
constexpr UINT TBM_GETPOS = WM_USER;
constexpr UINT TBM_GETRANGEMIN = WM_USER + 1;
constexpr UINT TBM_GETRANGEMAX = WM_USER + 2;
constexpr UINT TBM_SETPOS = WM_USER + 5;
constexpr UINT TBM_SETRANGE = WM_USER + 6;
constexpr UINT TBM_SETRANGEMIN = WM_USER + 7;
constexpr UINT TBM_SETRANGEMAX = WM_USER + 8;
constexpr UINT TBM_SETPAGESIZE = WM_USER + 21;
constexpr UINT TBM_GETPAGESIZE = WM_USER + 22;
constexpr UINT TBM_SETLINESIZE = WM_USER + 23;
constexpr UINT TBM_GETLINESIZE = WM_USER + 24;
constexpr UINT TBM_GETTHUMBRECT = WM_USER + 25;
constexpr UINT TBM_GETCHANNELRECT = WM_USER + 26;
constexpr WORD TB_LINEUP = 0;
constexpr WORD TB_LINEDOWN = 1;
constexpr WORD TB_PAGEUP = 2;
constexpr WORD TB_PAGEDOWN = 3;
// The thumb being dragged is reported with code 4, the value this system's
// sliders act on; Windows also has a separate final-position code that this
// trackbar never sends, since TB_ENDTRACK follows every drag.
constexpr WORD TB_THUMBTRACK = 4;
constexpr WORD TB_TOP = 6;
constexpr WORD TB_BOTTOM = 7;
constexpr WORD TB_ENDTRACK = 8;

// Animation control.
constexpr DWORD ACS_CENTER = 0x1;
constexpr DWORD ACS_TRANSPARENT = 0x2;
constexpr DWORD ACS_AUTOPLAY = 0x4;
constexpr UINT ACM_OPENW = WM_USER + 103;
constexpr UINT ACM_PLAY = WM_USER + 101;
constexpr UINT ACM_STOP = WM_USER + 102;
constexpr UINT ACM_ISPLAYING = WM_USER + 104;
constexpr WORD ACN_START = 1;
constexpr WORD ACN_STOP = 2;

// Window classes of the controls.
inline constexpr char16_t WC_BUTTON[] = u"BUTTON";
inline constexpr char16_t WC_STATIC[] = u"STATIC";
inline constexpr char16_t WC_EDIT[] = u"EDIT";
inline constexpr char16_t WC_LISTBOX[] = u"LISTBOX";
inline constexpr char16_t TRACKBAR_CLASSW[] = u"msctls_trackbar32";
inline constexpr char16_t ANIMATE_CLASSW[] = u"SysAnimate32";
inline constexpr char16_t TOOLTIPS_CLASSW[] = u"tooltips_class32";
inline constexpr char16_t WC_DIALOG[] = u"#32770";

// Tooltip.
constexpr UINT TTF_IDISHWND = 0x0001;
constexpr UINT TTF_SUBCLASS = 0x0010;
constexpr UINT TTM_ACTIVATE = WM_USER + 1;
constexpr UINT TTM_SETDELAYTIME = WM_USER + 3;
constexpr UINT TTM_RELAYEVENT = WM_USER + 7;
constexpr UINT TTM_GETTOOLCOUNT = WM_USER + 13;
constexpr UINT TTM_ADDTOOLW = WM_USER + 50;
constexpr UINT TTM_DELTOOLW = WM_USER + 51;
constexpr UINT TTM_NEWTOOLRECTW = WM_USER + 52;
constexpr UINT TTM_GETTEXTW = WM_USER + 56;
constexpr UINT TTM_UPDATETIPTEXTW = WM_USER + 57;
constexpr WPARAM TTDT_AUTOPOP = 2;
constexpr WPARAM TTDT_INITIAL = 3;

struct TTTOOLINFOW {
    UINT cbSize = sizeof(TTTOOLINFOW);
    UINT uFlags = 0;
    HWND hwnd = nullptr;
    UINT_PTR uId = 0;
    RECT rect{};
    HINSTANCE hinst = nullptr;
    LPWSTR lpszText = nullptr;
    LPARAM lParam = 0;
};
