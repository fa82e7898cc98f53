// Choosing a command from lumex's tray menu on a LumexDesktop as a person
// does: a right click on the docked icon opens the menu, a left press on an
// item opens its submenu, a left click on the command chooses it. Where the
// items lie comes from the menu's own resource (menu 145 of lumex's library)
// and the platform's menu geometry, so the clicks follow both.
#pragma once

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

}  // namespace desktop
