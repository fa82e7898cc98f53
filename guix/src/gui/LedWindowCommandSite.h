// The LED window as its commands see it (cmd::LedWindowOps): the rows and
// letters the last drawing placed, the drive groups, the alert, the layout
// operations, the tray icon and the per-device details and self-test
// dialogs of CLUMEXGUIDlg.
//
// Thread rule: the GUI thread, as the commands.
#pragma once

#include "commands/LedWindowOps.h"

class CLUMEXGUIDlg;

class CLedWindowCommandSite : public cmd::LedWindowOps {
public:
    explicit CLedWindowCommandSite(CLUMEXGUIDlg& window) : m_window(window) {}

    int LayoutRowCount() const override;
    cmd::RowView Row(int row) const override;
    bool GroupHasRows(cmd::DriveGroup group) const override;
    bool SmartAvailable() const override;
    bool AlertActive() const override;
    void ClearAlert() override;
    void ReadDriveList() override;
    void Relayout(int row_count, int bias) override;
    int PreviousLayoutRowCount() const override;
    void LayoutRefresh() override;
    void RetintImageLists(int color_index) override;
    CTrayIcon& TrayIcon() override;
    HICON WindowIcon(UINT id) override;
    int DetailsDialogCount() const override;
    CWnd* DetailsDialogWindow(int position) const override;
    const SmartDevice* DetailsDialogDevice(int position) const override;
    CWnd* OpenDetailsDialog(int position, const SmartDevice* device, BOOL fahrenheit) override;
    int SelfTestDialogCount() const override;
    CWnd* SelfTestDialogWindow(int position) const override;
    CWnd* OpenSelfTestDialog(int position, cmd::SelfTestKind kind, int drive_index) override;
    void ShowHelp() override;

private:
    cmd::RowView RowLocked(int row) const;

    CLUMEXGUIDlg& m_window;
};
