// The S.M.A.R.T. commands of the LED window: the details dialogs (of the
// selected row, of every row, of the row under the S.M.A.R.T. button), the
// self-tests of the selected row and resetting the alert.
#include "commands/LedWindowCommands.h"

#include <functional>

#include "commands/CommandIds.h"
#include "commands/CommandTable.h"
#include "skin/SkinDialog.h"
#include "ui/input.h"
#include "ui/message_queue.h"
#include "ui/rect.h"
#include "ui/window_pos.h"

namespace cmd {
namespace {

constexpr int kStaggerPixels = 10;
constexpr int kSmartButtonReach = 5;  // the S.M.A.R.T. area reaches this far below itself

// Moves a new dialog `steps` staggers right and down, keeping size and z-order.
void Stagger(CWnd* dialog, int steps) {
    if (!dialog || steps == 0) return;
    RECT r{};
    GetWindowRect(dialog->GetSafeHwnd(), &r);
    SetWindowPos(dialog->GetSafeHwnd(), nullptr, r.left + kStaggerPixels * steps, r.top + kStaggerPixels * steps, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
}

int FirstWithoutWindow(int count, const std::function<CWnd*(int)>& window_of) {
    for (int i = 0; i < count; ++i)
        if (!window_of(i)) return i;
    return -1;
}

// The position of the details dialog that shows `device` now, or -1.
int OpenDetailsOf(const LedWindowOps& window, const SmartDevice* device) {
    for (int i = 0; i < window.DetailsDialogCount(); ++i)
        if (window.DetailsDialogWindow(i) && window.DetailsDialogDevice(i) == device) return i;
    return -1;
}

// Gives the device to the first details dialog without a window.
CWnd* OpenDetails(LedWindowOps& window, const SmartDevice* device, BOOL fahrenheit) {
    const int free =
        FirstWithoutWindow(window.DetailsDialogCount(), [&](int i) { return window.DetailsDialogWindow(i); });
    return free < 0 ? nullptr : window.OpenDetailsDialog(free, device, fahrenheit);
}

}  // namespace

// Without a selected row every row's device whose details are not open yet
// gets a dialog, each further one 10 pixels right of and below the one
// before. (Comparing each row only with the dialog at its own position would
// skip every later row once one dialog is open, and open the wrong drive
// where rows without a device sit between.)
void LedWindowCommands::ShowSmartDetails() {
    if (!m_window.SmartAvailable()) return;
    LogCommand(kSmartDetails);
    if (m_selectedRow >= 0) {
        if (const SmartDevice* device = m_window.Row(m_selectedRow).device)
            OpenDetails(m_window, device, m_settings.Fahrenheit);
        return;
    }
    int opened = 0;
    for (int i = 0; i < m_window.LayoutRowCount(); ++i) {
        const SmartDevice* device = m_window.Row(i).device;
        if (!device || OpenDetailsOf(m_window, device) >= 0) continue;
        CWnd* dialog = OpenDetails(m_window, device, m_settings.Fahrenheit);
        if (!dialog) break;
        Stagger(dialog, opened++);
    }
}

void LedWindowCommands::ShowDetailsUnderCursor() {
    if (!m_window.SmartAvailable()) return;
    const DWORD position = GetMessagePos();
    POINT cursor{GET_X_LPARAM(LPARAM(position)), GET_Y_LPARAM(LPARAM(position))};
    ScreenToClient(Window(), &cursor);
    for (int i = 0; i < m_window.LayoutRowCount(); ++i) {
        const RowView row = m_window.Row(i);
        RECT reach = row.smartArea;
        reach.bottom += kSmartButtonReach;
        if (row.device && PtInRect(&reach, cursor)) {
            OpenDetails(m_window, row.device, m_settings.Fahrenheit);
            return;
        }
    }
}

// A double-click on a row's S.M.A.R.T. area opens that row's own device:
// the dialog that shows it already is brought forward, else a free one
// gets it.
void LedWindowCommands::OpenDetailsOfRow(int row) {
    const SmartDevice* device = m_window.Row(row).device;
    if (!device) return;
    if (const int open = OpenDetailsOf(m_window, device); open >= 0) {
        SetForegroundWindow(m_window.DetailsDialogWindow(open)->GetSafeHwnd());
        return;
    }
    OpenDetails(m_window, device, m_settings.Fahrenheit);
}

void LedWindowCommands::StartSelfTest(SelfTestKind kind) {
    if (kind == SelfTestKind::Short) LogCommand(kShortSelfTest);
    if (!m_window.SmartAvailable() || m_selectedRow < 0) return;
    const int free = FirstWithoutWindow(m_window.SelfTestDialogCount(),
                                        [this](int i) { return m_window.SelfTestDialogWindow(i); });
    if (free >= 0) m_window.OpenSelfTestDialog(free, kind, m_selectedRow);
}

// The tray icon goes back to what the S.M.A.R.T. display shows (138, or 277
// while the display is off). A condition that still holds raises the alert
// again at the next check.
void LedWindowCommands::ResetAlert() {
    if (!m_window.AlertActive()) return;
    m_window.ClearAlert();
    m_window.TrayIcon().SetIcon(m_window.WindowIcon(TrayIconId()));
    SetForegroundWindow(Window());
    LogCommand(kResetAlert);
}

}  // namespace cmd
