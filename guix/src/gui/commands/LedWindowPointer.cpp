// What the mouse does on the LED window: its skinned buttons, and
// double-clicks on a row's S.M.A.R.T. area, its row box or a letter.
#include "commands/LedWindowCommands.h"

#include <iostream>

#include "GuiLog.h"
#include "commands/CommandTable.h"
#include "commands/MediaEject.h"
#include "skin/SkinDialog.h"
#include "smart/SmartRecords.h"
#include "ui/rect.h"

namespace cmd {

void LedWindowCommands::OnSkinButton(const std::u16string& name) {
    gui::Trace(u"CGDLG::BP: -> %s", name);
    if (const SkinButtonAction* action = FindSkinButtonAction(name)) {
        if (name == u"BUTTON_EXIT")
            Exit(false);
        else if (name == u"BUTTON_SMART")
            ShowDetailsUnderCursor();
        else if (action->message)
            PostMessageW(Window(), action->message, 0, 0);
        else
            OnCommand(action->command);
    }
    gui::Trace(u"CGDLG::BP: <- %s", name);
}

void LedWindowCommands::OnDoubleClick(POINT client) {
    if (m_settings.DisableMouseButtons) return;
    for (int i = 0; i < m_window.LayoutRowCount(); ++i) {
        const RowView row = m_window.Row(i);
        if (row.device && PtInRect(&row.smartArea, client)) OpenDetailsOfRow(i);
        if (PtInRect(&row.box, client)) DoubleClickRowBox(row);
        for (const LetterView& letter : row.letters) {
            if (!PtInRect(&letter.rect, client)) continue;
            if (const auto call = FileManagerCall(letter.letter, letter.deviceType)) StartProgram(*call);
        }
    }
}

void LedWindowCommands::DoubleClickRowBox(const RowView& row) {
    const std::optional<DWORD> device_type =
        row.device ? std::optional<DWORD>(row.smartType) : std::nullopt;
    const RowBoxAction action = ChooseRowBoxAction(device_type, row.firstRecordType, m_system);
    if (action.kind == RowBoxAction::Start) StartProgram(action.call);
    if (action.kind == RowBoxAction::Eject && !row.letters.empty()) EjectInBackground(row.letters.front().letter);
}

// Ejecting waits up to about ten seconds for the volume's lock, so it runs
// beside the GUI thread, which keeps answering meanwhile. One eject at a time.
void LedWindowCommands::EjectInBackground(WCHAR letter) {
    if (m_eject.joinable()) m_eject.join();
    m_eject = std::thread([letter] { EjectMedia(letter, std::cout); });
}

}  // namespace cmd
