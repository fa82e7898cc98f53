#include "ui/menu_window.h"

#include <algorithm>

#include "ui/control_state.h"
#include "ui/device_context.h"
#include "ui/draw.h"
#include "ui/font.h"
#include "ui/gdi_objects.h"
#include "ui/paint.h"
#include "ui/text.h"
#include "ui/window.h"
#include "ui/window_pos.h"

namespace plat::ui {
namespace {

constexpr int kItemHeight = 20;
constexpr int kSeparatorHeight = 8;
constexpr int kBorder = 2;

int ItemHeight(const MenuItem& item) { return (item.flags & MF_SEPARATOR) ? kSeparatorHeight : kItemHeight; }

// A tick of two strokes, drawn in 2-pixel steps to the left of the text.
void DrawCheckMark(HDC hdc, int left, int top) {
    HBRUSH ink = GetSysColorBrush(COLOR_WINDOWTEXT);
    for (int i = 0; i < 3; ++i) {
        RECT step{left + i, top + 4 + i, left + i + 2, top + 6 + i};
        FillRect(hdc, &step, ink);
    }
    for (int i = 0; i < 5; ++i) {
        RECT step{left + 3 + i, top + 5 - i, left + 5 + i, top + 7 - i};
        FillRect(hdc, &step, ink);
    }
}

// Selects the menu font while an item is measured or drawn: the GUI font,
// in bold for the default item.
class ItemFont {
public:
    ItemFont(HDC hdc, const MenuItem& item) : m_hdc(hdc) {
        const HGDIOBJ menu_font = GetStockObject(DEFAULT_GUI_FONT);
        LOGFONTW log{};
        if ((item.flags & MF_DEFAULT) && GetObjectW(menu_font, sizeof log, &log)) {
            log.lfWeight = FW_BOLD;
            m_bold = CreateFontIndirectW(&log);
        }
        m_previous = SelectObject(hdc, m_bold ? m_bold : menu_font);
    }
    ~ItemFont() {
        SelectObject(m_hdc, m_previous);
        if (m_bold) DeleteObject(m_bold);
    }
    ItemFont(const ItemFont&) = delete;
    ItemFont& operator=(const ItemFont&) = delete;

private:
    HDC m_hdc;
    HFONT m_bold = nullptr;
    HGDIOBJ m_previous = nullptr;
};

void PaintItem(HDC hdc, const RECT& client, const MenuItem& item, int top, bool highlighted) {
    if (item.flags & MF_SEPARATOR) {
        RECT line{4, top + 3, client.right - 4, top + 4};
        FillRect(hdc, &line, GetSysColorBrush(COLOR_GRAYTEXT));
        return;
    }
    RECT row{kBorder, top, client.right - kBorder, top + kItemHeight};
    if (highlighted) FillRect(hdc, &row, GetSysColorBrush(COLOR_HIGHLIGHT));
    if (item.flags & MF_CHECKED) DrawCheckMark(hdc, 7, top + 5);
    SetTextColor(hdc, MenuItemEnabled(item) ? RGB(0, 0, 0) : RGB(128, 128, 128));
    RECT text{22, top, client.right - 16, top + kItemHeight};
    const ItemFont font(hdc, item);
    DrawTextW(hdc, item.text.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    if (item.flags & MF_POPUP) {
        RECT arrow{client.right - 14, top, client.right - 4, top + kItemHeight};
        DrawTextW(hdc, u">", 1, &arrow, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

}  // namespace

bool MenuItemEnabled(const MenuItem& item) { return !(item.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED)); }

bool MenuItemOpens(const MenuItem& item) { return MenuItemEnabled(item) && (item.flags & MF_POPUP) && item.submenu; }

int MenuItemTop(const Menu& menu, int index) {
    int y = kBorder;
    for (int i = 0; i < index; ++i) y += ItemHeight(menu.items[std::size_t(i)]);
    return y;
}

int MenuItemAt(const Menu& menu, POINT client) {
    int top = kBorder;
    for (int i = 0; i < int(menu.items.size()); ++i) {
        const int bottom = top + ItemHeight(menu.items[std::size_t(i)]);
        if (client.y >= top && client.y < bottom) return i;
        top = bottom;
    }
    return -1;
}

SIZE MenuWindowSize(HWND hwnd, const Menu& menu) {
    int width = 80;
    MeasureWith(hwnd, nullptr, [&](HDC hdc) {
        for (const MenuItem& item : menu.items) {
            SIZE text{};
            const ItemFont font(hdc, item);
            GetTextExtentPoint32W(hdc, item.text.c_str(), int(item.text.size()), &text);
            width = std::max(width, int(text.cx) + 44);
        }
    });
    return SIZE{width, MenuItemTop(menu, int(menu.items.size())) + kBorder};
}

void PaintMenuWindow(HWND hwnd, const Menu& menu, int highlighted) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(hdc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(hdc, TRANSPARENT);
    for (int i = 0; i < int(menu.items.size()); ++i)
        PaintItem(hdc, rc, menu.items[std::size_t(i)], MenuItemTop(menu, i), i == highlighted);
    EndPaint(hwnd, &ps);
}

}  // namespace plat::ui
