#include "TrayMenuOnScreen.h"

#include <chrono>
#include <map>
#include <thread>
#include <vector>

#include "base/text.h"
#include "resource/module.h"
#include "ui/menu.h"
#include "ui/menu_window.h"

namespace desktop {
namespace {

constexpr unsigned kTrayMenu = 145;
constexpr unsigned kRightButton = 3, kLeftButton = 1;

template <typename Found>
bool Within10s(Found found) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!found()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The first popup of a menu of lumex's library, each loaded once.
HMENU FirstPopup(const std::string& library, unsigned menu) {
    static std::map<unsigned, HMENU> loaded;
    auto it = loaded.find(menu);
    if (it != loaded.end()) return it->second;
    static HMODULE module = LoadLibraryW(plat::Utf8ToUtf16(library).c_str());
    HMENU popup = module ? GetSubMenu(LoadMenuW(module, MAKEINTRESOURCEW(menu)), 0) : nullptr;
    return loaded[menu] = popup;
}

// The menus from `menu` down to the one holding `command`, each with the
// position of the item to click in it; empty when the command is absent.
struct Step {
    HMENU menu;
    int item;
};
bool PathTo(HMENU menu, unsigned command, std::vector<Step>* path) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        path->push_back(Step{menu, i});
        if (HMENU sub = GetSubMenu(menu, i); sub ? PathTo(sub, command, path) : GetMenuItemID(menu, i) == command)
            return true;
        path->pop_back();
    }
    return false;
}

int Height(HMENU menu) {
    const auto m = plat::ui::LookupMenu(menu);
    return plat::ui::MenuItemTop(*m, int(m->items.size())) + plat::ui::MenuItemTop(*m, 0);
}

// The centre of item `item` of a menu level shown at `level`.
void ItemCentre(const Step& step, const Placed& level, int* x, int* y) {
    const auto m = plat::ui::LookupMenu(step.menu);
    *x = level.x + level.width / 2;
    *y = level.y + (plat::ui::MenuItemTop(*m, step.item) + plat::ui::MenuItemTop(*m, step.item + 1)) / 2;
}

// The newest window as tall as `menu`'s level, other than `except`, once
// it has stood still between two looks (a window manager may still be
// placing it).
bool FindLevel(const LumexDesktop& d, HMENU menu, unsigned long except, Placed* level) {
    const int height = Height(menu);
    const std::vector<Placed> shown = d.OtherWindows();
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
        if (it->height != height || it->window == except) continue;
        const bool still = level->window == it->window && level->x == it->x && level->y == it->y;
        *level = *it;
        return still;
    }
    return false;
}

// For a failure's message: the height looked for and the windows there are.
std::string Seen(const LumexDesktop& d, HMENU menu) {
    std::string text = "a level " + std::to_string(Height(menu)) + " high; windows:";
    for (const Placed& p : d.OtherWindows())
        text += " " + std::to_string(p.width) + "x" + std::to_string(p.height) + "+" + std::to_string(p.x) + "+" +
                std::to_string(p.y);
    return text;
}

// Opens `popup` with a right click at a root point of `window`, tells
// `seen`, and clicks its way down to `command`; the menu's first level goes
// to `shown`.
bool Choose(const LumexDesktop& d, HMENU popup, unsigned long window, int x, int y, unsigned command,
            const std::function<void(const Placed&)>& seen, Placed* shown, std::string* error) {
    std::vector<Step> path;
    if (!popup || !PathTo(popup, command, &path)) return *error = "no such command in the menu", false;
    d.Click(window, x, y, kRightButton);
    *shown = Placed{};
    if (!Within10s([&] { return FindLevel(d, popup, 0, shown); }))
        return *error = "the menu did not open: " + Seen(d, popup), false;
    if (seen) seen(*shown);

    Placed level = *shown;
    for (std::size_t i = 0; i < path.size(); ++i) {
        int cx = 0, cy = 0;
        ItemCentre(path[i], level, &cx, &cy);
        d.Click(level.window, cx, cy, kLeftButton);
        if (i + 1 == path.size()) break;
        const unsigned long parent = level.window;
        level = Placed{};
        if (!Within10s([&] { return FindLevel(d, path[i + 1].menu, parent, &level); }))
            return *error = "a submenu did not open: " + Seen(d, path[i + 1].menu), false;
    }
    const unsigned long first = shown->window;
    if (!Within10s([&] {
            for (const Placed& p : d.OtherWindows())
                if (p.window == first) return false;
            return true;
        }))
        return *error = "the menu stayed open", false;
    return true;
}

}  // namespace

bool ChooseFromTrayMenu(const LumexDesktop& d, unsigned command, TrayMenuShown* shown, std::string* error) {
    if (!Within10s([&] { return d.TrayIcon(&shown->icon); })) return *error = "no icon docked", false;
    shown->clickX = shown->icon.x + shown->icon.width / 2;
    shown->clickY = shown->icon.y + shown->icon.height / 2;
    return Choose(d, FirstPopup(d.LumexLibrary(), kTrayMenu), shown->icon.window, shown->clickX, shown->clickY,
                  command, nullptr, &shown->menu, error);
}

bool ChooseFromMenuAt(const LumexDesktop& d, unsigned menu, unsigned long window, int x, int y, unsigned command,
                      const std::function<void(const Placed&)>& seen, std::string* error) {
    Placed shown;
    return Choose(d, FirstPopup(d.LumexLibrary(), menu), window, x, y, command, seen, &shown, error);
}

}  // namespace desktop
