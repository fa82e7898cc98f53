// The LED window's context menu and tray menu: which row a right-click
// chose, the check and enable rules, and tracking the popup.
#include "commands/LedWindowCommands.h"

#include "GuiLog.h"
#include "commands/CommandIds.h"
#include "skin/SkinDialog.h"
#include "smart/SmartRecords.h"
#include "ui/framework_app.h"
#include "ui/popup_menu.h"
#include "ui/rect.h"
#include "ui/window_pos.h"

namespace cmd {
namespace {

// Restores a flag when the popup's modal loop has returned.
class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~ScopedFlag() { m_flag = false; }

private:
    bool& m_flag;
};

}  // namespace

MenuFacts LedWindowCommands::CurrentMenuFacts() const {
    MenuFacts f;
    f.hasCDRows = m_window.GroupHasRows(DriveGroup::CD);
    f.hasTapeRows = m_window.GroupHasRows(DriveGroup::Tape);
    f.hasNetworkRows = m_window.GroupHasRows(DriveGroup::Network);
    f.hasRemovableRows = m_window.GroupHasRows(DriveGroup::Removable);
    f.smartAvailable = m_window.SmartAvailable();
    f.alertActive = m_window.AlertActive();
    if (m_selectedRow >= 0 && m_selectedRow < m_window.LayoutRowCount()) {
        const RowView row = m_window.Row(m_selectedRow);
        f.overRow = row.device != nullptr;
        f.rowCanSelfTest = row.device && row.smartSelfTest;
    }
    return f;
}

void LedWindowCommands::SelectRowAt(POINT client) {
    for (int i = 0; i < m_window.LayoutRowCount(); ++i) {
        const RowView row = m_window.Row(i);
        if (row.device && (PtInRect(&row.box, client) || PtInRect(&row.smartArea, client))) m_selectedRow = i;
    }
}

void LedWindowCommands::OnContextMenu(HWND clicked, POINT screen) {
    if (m_settings.DisableMouseButtons) return;
    gui::Trace(u"CGDLG::OCM: -> (0x%x, %d/%d)", reinterpret_cast<std::uintptr_t>(clicked), screen.x, screen.y);
    const bool from_keyboard = screen.x == -1 && screen.y == -1;
    m_selectedRow = -1;
    if (!from_keyboard) {
        POINT client = screen;
        ScreenToClient(Window(), &client);
        SelectRowAt(client);
    }
    RECT window{};
    GetWindowRect(Window(), &window);
    if (!from_keyboard && !PtInRect(&window, screen)) return;
    ScopedFlag open(m_contextMenuOpen);
    TrackMenu(MenuKind::Context, TPM_RIGHTBUTTON, from_keyboard ? POINT{window.left, window.bottom} : screen);
}

// Only a right-button release over the icon comes here. The icon is no
// mouse button of the window, so DisableMouseButtons leaves its menu alone;
// the menu opens whenever the icon was made with one (the start makes it
// without one only for a locked-down window showing S.M.A.R.T. data).
void LedWindowCommands::ShowTrayMenu() {
    if (!m_window.TrayIcon().HasMenu()) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    TrackMenu(MenuKind::Tray, TPM_RIGHTALIGN, cursor);
    SetForegroundWindow(Window());
    PostMessageW(Window(), WM_NULL, 0, 0);
}

void LedWindowCommands::TrackMenu(MenuKind kind, UINT flags, POINT at) {
    HMENU menu = LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kMenu));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    if (popup) {
        ApplyMenuRules(popup, kind, m_settings, CurrentMenuFacts());
        const UINT default_command = m_window.TrayIcon().GetMenuDefaultItem();
        if (kind == MenuKind::Tray && default_command) SetMenuDefaultItem(popup, default_command, FALSE);
        m_openMenu = kind;
        TrackPopupMenu(popup, flags, at.x, at.y, 0, Window(), nullptr);
        m_openMenu = MenuKind::Context;
    }
    DestroyMenu(menu);
}

bool LedWindowCommands::OnUpdateCommand(CCmdUI* ui) {
    const MenuKind kind = m_contextMenuOpen ? MenuKind::Context : m_openMenu;
    if (ui->m_nID == kSmartDetails && !m_contextMenuOpen) m_selectedRow = -1;
    return ApplyMenuRule(ui, kind, m_settings, CurrentMenuFacts());
}

}  // namespace cmd
