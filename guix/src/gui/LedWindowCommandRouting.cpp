// The LED window hands what the user does to its commands object: command
// ids and their menu-item updates, the skinned buttons and sliders, the
// context menu and double-clicks.
#include "LUMEXGUIDlg.h"

BOOL CLUMEXGUIDlg::OnCmdMsg(UINT id, int code, CCmdUI* ui) {
    if (m_commands) {
        if (code == CN_UPDATE_COMMAND_UI && ui && m_commands->OnUpdateCommand(ui)) return TRUE;
        if (code == CN_COMMAND && m_commands->OnCommand(id)) return TRUE;
    }
    return CSkinDialog::OnCmdMsg(id, code, ui);
}

void CLUMEXGUIDlg::OnSkinButton(const std::u16string& name) {
    if (m_commands) m_commands->OnSkinButton(name);
}

void CLUMEXGUIDlg::OnSkinSlider(const std::u16string& name, int code, int position) {
    if (m_commands) m_commands->OnSkinSlider(name, code, position);
}

void CLUMEXGUIDlg::OnContextMenu(HWND hwnd, POINT point) {
    if (m_commands) m_commands->OnContextMenu(hwnd, point);
}

void CLUMEXGUIDlg::OnLButtonDblClk(UINT flags, POINT point) {
    if (m_commands) m_commands->OnDoubleClick(point);
    CSkinDialog::OnLButtonDblClk(flags, point);
}
