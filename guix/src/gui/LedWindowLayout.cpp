// The LED window's layout: the working skin image rebuilt to fit the rows,
// the S.M.A.R.T. buttons, the options strip, the fixed buttons, and the
// window's place.
//
// Horizontal: one module per visible row, each the primary tile stretched
// to the row's letters; a row without a S.M.A.R.T. box loses the box's 58
// pixels. Vertical: one module as wide as the widest visible row (with the
// box column when any row shows a box), stretched down to one window-row per
// visible row. Either way the second set follows on the right: the options
// strip (162 pixels, cut when closed) and the three fixed buttons (25).
#include <algorithm>

#include "LUMEXGUIDlg.h"

namespace {

constexpr int kSmartBoxWidth = 58;
constexpr int kSecondSetWidth = 187;
constexpr int kOptionsStripWidth = 162;
constexpr int kFixedButtonsWidth = 25;
constexpr int kColumnWithoutRows = 161;
constexpr UINT kSmartButtonString = 212;

struct StripButton {
    UINT string;
    const char16_t* name;
    int dx;  // back from the strip's right end x
    int y;
};

// The strip's toggles and buttons, in the order they are added.
constexpr StripButton kStripButtons[] = {
    {254, u"BUTTON_CD", 186, 0},          {255, u"BUTTON_NET", 170, 0},
    {256, u"BUTTON_TAPE", 186, 16},       {257, u"BUTTON_REMOVABLE", 170, 16},
    {260, u"BUTTON_AUTO_HIDE", 80, 1},    {261, u"BUTTON_AUTO_SNAP", 80, 16},
    {262, u"BUTTON_ALWAYS_ON_TOP", 63, 1}, {263, u"BUTTON_KEYBOARD_LED", 63, 16},
    {258, u"BUTTON_ONLINE_HELP", 42, 1},  {259, u"BUTTON_ABOUT_BOX", 42, 16},
};

}  // namespace

int CLUMEXGUIDlg::RowWidth(int letters) const {
    return m_layout.Spacing() * (letters + 1) + letters * m_layout.LedWidth() + 2 * m_layout.Margin() + 92;
}

void CLUMEXGUIDlg::RefreshLayout() {
    m_driveCount = m_driver.Groups().RecordCount();
    Relayout(m_driver.Groups().RowCount(), 0);
    Invalidate(TRUE);
}

// Runs under the drawing lock, so no activity redraw starts half-way
// through; the layout-busy flag keeps the paints its own stretches cause from
// drawing a half-built window.
void CLUMEXGUIDlg::Relayout(int row_count, int bias) {
    EnterCriticalSection(&m_drawingLock);
    m_layoutBusy = true;
    const DriveGroups& groups = m_driver.Groups();
    const int H = m_layout.RowHeight();
    const bool dropped = row_count + bias < m_previousRows;
    const int c = dropped ? m_layout.ShrinkColumn() : m_layout.StretchColumn();
    const int r = dropped ? m_layout.ShrinkRow() : m_layout.StretchRow();
    m_lastLayoutShrank = dropped;

    TileFace(1);
    DeleteButtons();
    DeleteSliders();
    const auto shows_box = [&](int row) { return groups.Smart(row) && m_Settings.SmartDisplay; };
    int W = 0;
    int placed = 0;
    int last_column = 0;
    if (m_Settings.Horizontal) {
        for (int row = 0; row < row_count; ++row) {
            if (!groups.IsRowVisible(row, m_Settings)) continue;
            if (placed > 0) {
                RECT client{};
                GetClientRect(&client);
                W = client.right;
                AppendPrimary();
            }
            last_column = c + W;
            const int width = W + RowWidth(groups.LetterCount(row));
            StretchSkin(width, H, last_column, r);
            W = width;
            if (shows_box(row)) {
                AddButtonFromString(kSmartButtonString, W - 45, 27);
            } else {
                StretchSkin(W - kSmartBoxWidth, H, W - 16, 0);
                W -= kSmartBoxWidth;
            }
            ++placed;
        }
    } else {
        int widest = -1;
        bool any_box = false;
        for (int row = 0; row < row_count; ++row) {
            if (!groups.IsRowVisible(row, m_Settings)) continue;
            widest = std::max(widest, groups.LetterCount(row));
            any_box = any_box || shows_box(row);
            ++placed;
        }
        if (placed > 0) {
            last_column = c;
            W = RowWidth(widest);
            StretchSkin(W, H, c, r);
            if (!any_box) {
                StretchSkin(W - kSmartBoxWidth, H, W - 16, 0);
                W -= kSmartBoxWidth;
            }
        }
    }

    AppendSecond();
    int x = W + kSecondSetWidth;
    StretchSkin(x, H, placed == 0 ? kColumnWithoutRows : W + last_column, r);
    if (m_Settings.OptionsPanelOpen) {
        AddOptionsStrip(x);
    } else {
        StretchSkin(x - kOptionsStripWidth, H, x - kFixedButtonsWidth, r);
        x -= kOptionsStripWidth;
    }
    AddAltButtonFromString(251, x - 8, 5);
    AddAltButtonFromString(252, x - 23, 1);
    AddAltButtonFromString(253, x - 23, 16);

    if (!m_Settings.Horizontal) {
        // One window-row per visible row, each with its box's button.
        if (placed > 1) StretchSkin(x, H * placed, W, r);
        for (int row = 0, i = 0; row < row_count; ++row) {
            if (!groups.IsRowVisible(row, m_Settings)) continue;
            if (shows_box(row)) AddButtonFromString(kSmartButtonString, W - 45, i * H + 27);
            ++i;
        }
    }

    // The rows' LEDs are made here, on the GUI thread, before a drawing or a
    // hit test reads them.
    for (int row = 0; row < std::min(row_count, kMaxRows); ++row) m_rows[row].Led(0);
    m_shownValid = false;
    m_previousRows = row_count;
    m_layoutBusy = false;
    LeaveCriticalSection(&m_drawingLock);
    PlaceWindow();
    RebuildTooltips();
}

void CLUMEXGUIDlg::AddOptionsStrip(int x) {
    const DriveGroups& groups = m_driver.Groups();
    for (const StripButton& b : kStripButtons) AddAltButtonFromString(b.string, x - b.dx, b.y);
    SetButtonState(u"BUTTON_CD", m_Settings.ShowCD);
    if (!groups.HasRows(kGroupCdDvd)) EnableButton(u"BUTTON_CD", FALSE);
    SetButtonState(u"BUTTON_NET", m_Settings.ShowNetwork);
    if (!groups.HasRows(kGroupNetwork)) EnableButton(u"BUTTON_NET", FALSE);
    SetButtonState(u"BUTTON_TAPE", m_Settings.ShowTape);
    if (!groups.HasRows(kGroupTape)) EnableButton(u"BUTTON_TAPE", FALSE);
    SetButtonState(u"BUTTON_REMOVABLE", m_Settings.ShowRemovable);
    if (!groups.HasRows(kGroupRemovable)) EnableButton(u"BUTTON_REMOVABLE", FALSE);
    SetButtonState(u"BUTTON_AUTO_HIDE", m_Settings.AutoHide);
    SetButtonState(u"BUTTON_AUTO_SNAP", m_Settings.Snap);
    SetButtonState(u"BUTTON_ALWAYS_ON_TOP", m_Settings.AlwaysOnTop);
    SetButtonState(u"BUTTON_KEYBOARD_LED", m_Settings.KeyboardLed);
    AddSliderFromString(267, 281, 282, x - 153, 4);
    SetSliderPos(u"SLIDER_COLOR", m_Settings.Color);
    if (m_Settings.TransparencyAvailable) {
        AddSliderFromString(266, 283, 284, x - 153, 19);
        SetSliderPos(u"SLIDER_ALPHA", (255 - m_Settings.Alpha) / 2);
    }
}

// Keeps a window docked at the right edge there, and one whose right edge
// was snapped to the work area's right edge on it, as the window grows or
// shrinks; the size was set by the stretches.
void CLUMEXGUIDlg::PlaceWindow() {
    RECT rect{};
    GetWindowRect(m_hWnd, &rect);
    KeepRightDocked(&rect);
    if (m_Settings.SnapEdge) {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info)) {
            const int width = rect.right - rect.left;
            rect.right = info.rcWork.right;
            rect.left = rect.right - width;
        }
    }
    SetWindowPos(m_hWnd, nullptr, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
