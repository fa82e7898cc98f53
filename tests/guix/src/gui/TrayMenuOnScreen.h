// Choosing a command from one of lumex's menus on a LumexDesktop as a
// person does: a right click opens the menu (on the docked icon for the
// tray menu), a left press on an item opens its submenu, a left click on
// the command chooses it. Where the items lie comes from the menu's own
// resource (the first submenu of a menu of lumex's library, as the program
// shows it) and the platform's menu geometry, so the clicks follow both.
#pragma once

#include <functional>
#include <string>

#include "LumexDesktop.h"

namespace desktop {

struct TrayMenuShown {
    Placed icon;       // the icon that was clicked
    int clickX = 0;    // where it was clicked (root coordinates)
    int clickY = 0;
    Placed menu;       // where the menu's first level showed
};

// Waits (up to 10 s per step) for the icon, the menu and each submenu.
// False with a reason.
bool ChooseFromTrayMenu(const LumexDesktop& d, unsigned command, TrayMenuShown* shown, std::string* error);

// The same for menu `menu` of the library opened by a right click at a root
// point of `window`. `seen`, when given, hears of the menu's first level as
// soon as it shows, before anything is chosen (to photograph it, say).
bool ChooseFromMenuAt(const LumexDesktop& d, unsigned menu, unsigned long window, int x, int y, unsigned command,
                      const std::function<void(const Placed&)>& seen, std::string* error);

}  // namespace desktop
