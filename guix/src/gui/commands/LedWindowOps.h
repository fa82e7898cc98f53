// What the LED window's commands need of the window beyond its skinned-
// dialog base: its rows as the last layout placed them, its drive groups,
// the S.M.A.R.T. state and alert, the layout operations, the tray icon and
// the details and self-test dialogs it keeps (one of each per S.M.A.R.T.
// device, created as windows only when opened). The window implements it;
// LedWindowCommands calls it on the GUI thread.
#pragma once

#include <optional>
#include <vector>

#include "base/wintypes.h"
#include "ui/framework_tray_icon.h"
#include "ui/ui_types.h"

struct SmartDevice;

namespace cmd {

// One LED of a row: its letter, its record's device type and where it was
// drawn (client coordinates).
struct LetterView {
    WCHAR letter = 0;
    DWORD deviceType = 0;
    RECT rect{};
};

// A row as the last panel drawing left it (client coordinates; empty
// rectangles for a hidden row).
struct RowView {
    RECT box{};
    RECT smartArea{};
    const SmartDevice* device = nullptr;  // its S.M.A.R.T. device, if any
    // Of that device, read without touching its live record (the S.M.A.R.T.
    // poll overwrites it): its type as kept since it was attached, and
    // whether it runs self-tests, from the handler's consistent copy.
    DWORD smartType = 0;
    bool smartSelfTest = false;
    std::optional<DWORD> firstRecordType;  // none for a row without records
    std::vector<LetterView> letters;
};

// The drive groups whose items and buttons can be disabled.
enum class DriveGroup { CD, Tape, Network, Removable };

enum class SelfTestKind { Short, Extended };

class LedWindowOps {
public:
    virtual ~LedWindowOps() = default;

    // Rows of the last layout, in row order.
    virtual int LayoutRowCount() const = 0;
    virtual RowView Row(int row) const = 0;
    virtual bool GroupHasRows(DriveGroup group) const = 0;

    // At least one S.M.A.R.T. device is set up.
    virtual bool SmartAvailable() const = 0;
    virtual bool AlertActive() const = 0;
    virtual void ClearAlert() = 0;

    // GetLocalDrives (under the drawing lock).
    virtual void ReadDriveList() = 0;
    // Relayout(row count, bias); the row count of the previous layout.
    virtual void Relayout(int row_count, int bias) = 0;
    virtual int PreviousLayoutRowCount() const = 0;
    // Counts the records, relayouts with bias 0 and invalidates.
    virtual void LayoutRefresh() = 0;
    // Under the drawing lock: SetColorIndex(index) and the three tinted image
    // lists rebuilt from their sources.
    virtual void RetintImageLists(int color_index) = 0;

    virtual CTrayIcon& TrayIcon() = 0;
    virtual HICON WindowIcon(UINT id) = 0;  // 138, 208 or 277

    // Details dialogs, by position in the window's list.
    virtual int DetailsDialogCount() const = 0;
    virtual CWnd* DetailsDialogWindow(int position) const = 0;  // null while it has no window
    virtual const SmartDevice* DetailsDialogDevice(int position) const = 0;
    // Gives the dialog the device and the temperature unit and creates its
    // window; null when it could not be created.
    virtual CWnd* OpenDetailsDialog(int position, const SmartDevice* device, BOOL fahrenheit) = 0;

    // Self-test dialogs, likewise; the drive index is the row number.
    virtual int SelfTestDialogCount() const = 0;
    virtual CWnd* SelfTestDialogWindow(int position) const = 0;
    virtual CWnd* OpenSelfTestDialog(int position, SelfTestKind kind, int drive_index) = 0;

    // The application's help command (it writes its own log line).
    virtual void ShowHelp() = 0;
};

}  // namespace cmd
