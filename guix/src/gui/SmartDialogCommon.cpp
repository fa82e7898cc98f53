#include "SmartDialogCommon.h"

#include "resource/module.h"
#include "ui/framework_app.h"
#include "ui/menu.h"
#include "ui/popup_menu.h"
#include "ui/ui.h"

namespace smartdlg {

std::u16string LoadText(UINT id) {
    const WCHAR* text = nullptr;
    const int length = LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text ? std::u16string(text, std::size_t(length)) : std::u16string();
}

void ApplyAlpha(CWnd& dialog, GuiSettings& settings) {
    const LONG style = GetWindowLongW(dialog.m_hWnd, GWL_EXSTYLE);
    SetWindowLongW(dialog.m_hWnd, GWL_EXSTYLE, style | LONG(WS_EX_LAYERED));
    if (SetLayeredWindowAttributes(dialog.m_hWnd, 0, settings.Alpha, LWA_ALPHA)) settings.TransparencyAvailable = 1;
}

void RunOwnerCommand(CWnd* owner, UINT id) {
    if (owner && owner->m_hWnd) owner->SendMessage(WM_COMMAND, id, 0);
}

bool RunSharedCommand(CWnd* owner, UINT id) {
    if (id == kCmdHideAll)
        RunOwnerCommand(owner, kOwnerMinimiseToTray);
    else if (id == kCmdShowAll)
        RunOwnerCommand(owner, kOwnerRestore);
    else
        return false;
    return true;
}

void ShowContextMenu(CWnd& dialog, UINT menu_id, POINT point) {
    const bool keyboard = point.x == -1 && point.y == -1;
    if (keyboard) {
        RECT window;
        GetWindowRect(dialog.m_hWnd, &window);
        point = POINT{window.left, window.bottom};
    } else {
        RECT client;
        GetClientRect(dialog.m_hWnd, &client);
        POINT inside = point;
        ScreenToClient(dialog.m_hWnd, &inside);
        if (!PtInRect(&client, inside)) return;
    }
    HMENU menu = LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(menu_id));
    if (!menu) return;
    if (HMENU popup = GetSubMenu(menu, 0))
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, dialog.m_hWnd, nullptr);
    DestroyMenu(menu);
}

}  // namespace smartdlg
