#include "LedWindowCommandSite.h"

#include "LUMEXGUIApp.h"
#include "LUMEXGUIDlg.h"

namespace {

int GroupIndex(cmd::DriveGroup group) {
    switch (group) {
        case cmd::DriveGroup::CD: return kGroupCdDvd;
        case cmd::DriveGroup::Tape: return kGroupTape;
        case cmd::DriveGroup::Network: return kGroupNetwork;
        case cmd::DriveGroup::Removable: return kGroupRemovable;
    }
    return kGroupDisks;
}

}  // namespace

int CLedWindowCommandSite::LayoutRowCount() const { return m_window.LaidOutRows(); }

// Read under the drawing lock: the activity redraw writes the rectangles
// and removes the records of drives that went.
cmd::RowView CLedWindowCommandSite::Row(int row) const {
    EnterCriticalSection(&m_window.DrawingLock());
    cmd::RowView view = RowLocked(row);
    LeaveCriticalSection(&m_window.DrawingLock());
    return view;
}

cmd::RowView CLedWindowCommandSite::RowLocked(int row) const {
    const DriveGroups& groups = m_window.DriverLink().Groups();
    const CLUMEXGUIDlg::RowState& state = m_window.Row(row);
    cmd::RowView view;
    view.box = state.box;
    view.smartArea = state.smartArea;
    view.device = groups.Smart(row);
    if (view.device) {
        view.smartType = groups.SmartType(row);
        view.smartSelfTest = (m_window.SmartHandler().CopyRecord(*view.device).flags & SMART_FLAG_SELFTEST) != 0;
    }
    for (int j = 0; j < groups.LetterCount(row); ++j) {
        const DriveEntry* drive = groups.Record(row, j);
        if (!drive) break;
        if (j == 0) view.firstRecordType = drive->record.DeviceType;
        view.letters.push_back({drive->Letter(), drive->record.DeviceType, state.Led(j).rect});
    }
    return view;
}

bool CLedWindowCommandSite::GroupHasRows(cmd::DriveGroup group) const {
    return m_window.DriverLink().Groups().HasRows(GroupIndex(group));
}

bool CLedWindowCommandSite::SmartAvailable() const { return m_window.SmartDeviceCount() > 0; }
bool CLedWindowCommandSite::AlertActive() const { return m_window.IsAlertActive(); }
void CLedWindowCommandSite::ClearAlert() { m_window.ResetAlert(); }

void CLedWindowCommandSite::ReadDriveList() { m_window.DriverLink().GetLocalDrives(); }
void CLedWindowCommandSite::Relayout(int row_count, int bias) { m_window.Relayout(row_count, bias); }
int CLedWindowCommandSite::PreviousLayoutRowCount() const { return m_window.LaidOutRows(); }
void CLedWindowCommandSite::LayoutRefresh() { m_window.RefreshLayout(); }
// The window re-tints its image lists at its next drawing, under the same lock.
void CLedWindowCommandSite::RetintImageLists(int color_index) {
    EnterCriticalSection(&m_window.DrawingLock());
    m_window.SetColorIndex(color_index);
    LeaveCriticalSection(&m_window.DrawingLock());
}

CTrayIcon& CLedWindowCommandSite::TrayIcon() { return m_window.TrayIcon(); }
HICON CLedWindowCommandSite::WindowIcon(UINT id) { return m_window.WindowIcon(id); }

int CLedWindowCommandSite::DetailsDialogCount() const { return int(m_window.SmartDialogSlots().size()); }

CWnd* CLedWindowCommandSite::DetailsDialogWindow(int position) const {
    CSMARTDetailDialog* dialog = m_window.SmartDialogSlots()[std::size_t(position)].details.get();
    return dialog && dialog->IsOpen() ? dialog : nullptr;
}

const SmartDevice* CLedWindowCommandSite::DetailsDialogDevice(int position) const {
    const CSMARTDetailDialog* dialog = m_window.SmartDialogSlots()[std::size_t(position)].details.get();
    return dialog ? dialog->Device() : nullptr;
}

CWnd* CLedWindowCommandSite::OpenDetailsDialog(int position, const SmartDevice* device, BOOL fahrenheit) {
    CSMARTDetailDialog* dialog = m_window.SmartDialogSlots()[std::size_t(position)].details.get();
    if (!dialog) return nullptr;
    dialog->SetDevice(device);
    dialog->SetFahrenheit(fahrenheit);
    return dialog->Open() ? dialog : nullptr;
}

int CLedWindowCommandSite::SelfTestDialogCount() const { return int(m_window.SmartDialogSlots().size()); }

CWnd* CLedWindowCommandSite::SelfTestDialogWindow(int position) const {
    CSMARTSelfTestDialog* dialog = m_window.SmartDialogSlots()[std::size_t(position)].selfTest.get();
    return dialog && dialog->IsOpen() ? dialog : nullptr;
}

CWnd* CLedWindowCommandSite::OpenSelfTestDialog(int position, cmd::SelfTestKind kind, int drive_index) {
    CSMARTSelfTestDialog* dialog = m_window.SmartDialogSlots()[std::size_t(position)].selfTest.get();
    if (!dialog) return nullptr;
    dialog->SetExtendedTest(kind == cmd::SelfTestKind::Extended);
    dialog->SetDriveIndex(drive_index);
    dialog->SetDevice(m_window.RowSmartDevice(drive_index));
    return dialog->Open() ? dialog : nullptr;
}

void CLedWindowCommandSite::ShowHelp() {
    if (CLUMEXGUIApp* app = LumexApp()) app->OnHelp();
}
