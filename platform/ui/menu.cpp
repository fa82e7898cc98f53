#include "ui/menu.h"

#include <algorithm>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "resource/module.h"
#include "resource/templates.h"

namespace plat::ui {
namespace {

constexpr UINT kStateBits = MF_GRAYED | MF_DISABLED | MF_CHECKED;

HMENU NewMenuHandle(bool popup) {
    auto menu = std::make_shared<Menu>();
    menu->popup = popup;
    return static_cast<HMENU>(RegisterObject(std::move(menu)));
}

MenuItem* FindById(HMENU handle, UINT id, int depth) {
    auto menu = LookupMenu(handle);
    if (!menu || depth > 16) return nullptr;
    for (MenuItem& item : menu->items) {
        if (!(item.flags & MF_POPUP) && !(item.flags & MF_SEPARATOR) && item.id == id) return &item;
        if (item.flags & MF_POPUP) {
            if (MenuItem* found = FindById(item.submenu, id, depth + 1)) return found;
        }
    }
    return nullptr;
}

HMENU Build(const std::vector<resource::MenuItemTemplate>& items, bool popup) {
    HMENU menu = NewMenuHandle(popup);
    for (const auto& t : items) {
        UINT flags = UINT(t.flags) & (MF_GRAYED | MF_CHECKED | MF_SEPARATOR);
        if (!t.items.empty()) {
            AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(Build(t.items, true)), t.text.c_str());
        } else {
            AppendMenuW(menu, flags, t.id, t.text.c_str());
        }
    }
    return menu;
}

}  // namespace

std::shared_ptr<Menu> LookupMenu(HMENU menu) { return Lookup<Menu>(menu); }

MenuItem* FindMenuItem(HMENU handle, UINT item, UINT by_flags) {
    if (by_flags & MF_BYPOSITION) {
        auto menu = LookupMenu(handle);
        return menu && item < menu->items.size() ? &menu->items[item] : nullptr;
    }
    return FindById(handle, item, 0);
}

}  // namespace plat::ui

using namespace plat::ui;

HMENU CreateMenu() { return NewMenuHandle(false); }
HMENU CreatePopupMenu() { return NewMenuHandle(true); }

BOOL DestroyMenu(HMENU handle) {
    auto menu = LookupMenu(handle);
    if (!menu) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    for (const MenuItem& item : menu->items) {
        if (item.submenu) DestroyMenu(item.submenu);
    }
    plat::ui::RemoveObject(handle);
    return TRUE;
}

BOOL IsMenu(HMENU menu) { return LookupMenu(menu) != nullptr; }

BOOL AppendMenuW(HMENU handle, UINT flags, UINT_PTR id_or_popup, LPCWSTR text) {
    auto menu = LookupMenu(handle);
    if (!menu || ((flags & MF_POPUP) && !LookupMenu(reinterpret_cast<HMENU>(id_or_popup)))) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    MenuItem item;
    item.flags = flags & (kStateBits | MF_POPUP | MF_SEPARATOR);
    if (flags & MF_POPUP) item.submenu = reinterpret_cast<HMENU>(id_or_popup);
    else item.id = UINT(id_or_popup);
    if (text && !(flags & MF_SEPARATOR)) item.text = text;
    menu->items.push_back(std::move(item));
    return TRUE;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
    MenuItem* found = FindMenuItem(menu, item, flags);
    if (!found) return DWORD(-1);
    const DWORD previous = found->flags & MF_CHECKED;
    found->flags = (found->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
    return previous;
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags) {
    MenuItem* found = FindMenuItem(menu, item, flags);
    if (!found) return BOOL(-1);
    const BOOL previous = BOOL(found->flags & (MF_GRAYED | MF_DISABLED));
    found->flags = (found->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return previous;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    const MenuItem* found = FindMenuItem(menu, item, flags);
    if (!found) return UINT(-1);
    if (found->flags & MF_POPUP) {
        // The high byte of a popup's state holds its item count.
        return (UINT(GetMenuItemCount(found->submenu)) << 8) | (found->flags & 0xFF);
    }
    return found->flags;
}

HMENU GetSubMenu(HMENU menu, int position) {
    const MenuItem* found = position < 0 ? nullptr : FindMenuItem(menu, UINT(position), MF_BYPOSITION);
    return found ? found->submenu : nullptr;
}

int GetMenuItemCount(HMENU handle) {
    auto menu = LookupMenu(handle);
    if (!menu) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return -1;
    }
    return int(menu->items.size());
}

UINT GetMenuItemID(HMENU menu, int position) {
    const MenuItem* found = position < 0 ? nullptr : FindMenuItem(menu, UINT(position), MF_BYPOSITION);
    return found && !(found->flags & MF_POPUP) ? found->id : UINT(-1);
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int capacity, UINT flags) {
    const MenuItem* found = FindMenuItem(menu, item, flags);
    if (!found) return 0;
    if (!buffer || capacity <= 0) return int(found->text.size());
    const int copied = std::min(int(found->text.size()), capacity - 1);
    std::copy_n(found->text.begin(), copied, buffer);
    buffer[copied] = 0;
    return copied;
}

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
    if (!IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const auto data = plat::resource::FindResourceData(instance, RT_MENU, UINT(reinterpret_cast<std::uintptr_t>(name)));
    const auto items = data ? plat::resource::ParseMenu(*data) : std::nullopt;
    if (!items) {
        SetLastError(data ? ERROR_RESOURCE_DATA_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return plat::ui::Build(*items, false);
}

BOOL SetMenuDefaultItem(HMENU handle, UINT item, UINT by_position) {
    auto menu = plat::ui::LookupMenu(handle);
    if (!menu) return FALSE;
    int chosen = -1;
    for (std::size_t i = 0; i < menu->items.size() && item != UINT(-1); ++i) {
        const auto& entry = menu->items[i];
        if (by_position ? i == item : (!(entry.flags & MF_POPUP) && entry.id == item)) chosen = int(i);
    }
    if (item != UINT(-1) && chosen < 0) return FALSE;
    for (std::size_t i = 0; i < menu->items.size(); ++i) {
        auto& flags = menu->items[i].flags;
        flags = int(i) == chosen ? (flags | MF_DEFAULT) : (flags & ~MF_DEFAULT);
    }
    return TRUE;
}

UINT GetMenuDefaultItem(HMENU handle, UINT by_position, UINT) {
    auto menu = plat::ui::LookupMenu(handle);
    if (!menu) return UINT(-1);
    for (std::size_t i = 0; i < menu->items.size(); ++i)
        if (menu->items[i].flags & MF_DEFAULT) return by_position ? UINT(i) : menu->items[i].id;
    return UINT(-1);
}
