// The window of one menu: where its items lie, which item a point is on,
// the window's size and the painting. Every level of a popup menu (the menu
// and each open submenu) is such a window.
#pragma once

#include "ui/menu.h"

namespace plat::ui {

// Whether an item can be highlighted and chosen (or opened, for a submenu).
bool MenuItemEnabled(const MenuItem& item);
// Whether an item opens a submenu when chosen.
bool MenuItemOpens(const MenuItem& item);

// The top of item `index` (or the end of the items) in client coordinates.
int MenuItemTop(const Menu& menu, int index);
// The item at a client point, -1 if none.
int MenuItemAt(const Menu& menu, POINT client);
SIZE MenuWindowSize(HWND hwnd, const Menu& menu);

// Paints the items, `highlighted` (-1 for none) in the highlight colour,
// checked items with a check mark and mnemonics underlined.
void PaintMenuWindow(HWND hwnd, const Menu& menu, int highlighted);

}  // namespace plat::ui
