#include "ui/menu_window.h"

#include <algorithm>

#include "ui/device_context.h"
#include "ui/draw.h"
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
    HDC hdc = GetDC(hwnd);
    int width = 80;
    for (const MenuItem& item : menu.items) {
        SIZE text{};
        GetTextExtentPoint32W(hdc, item.text.c_str(), int(item.text.size()), &text);
        width = std::max(width, int(text.cx) + 44);
    }
    ReleaseDC(hwnd, hdc);
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
