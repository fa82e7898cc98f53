// A skinned dialog standing in for the LED window, with the LED window's
// skin and option controls from LUMEXRS.DLL, routing its commands, button
// and slider notifications and window messages to a LedWindowCommands; and
// a scripted LedWindowOps with rows, groups, alert and dialogs of its own.
// The tray is a recording notification area; launched programs are
// recorded, not run.
#pragma once

#include <deque>
#include <map>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commands/LedWindowCommands.h"
#include "skin/SkinDialog.h"
#include "smart/SmartRecords.h"
#include "scoped_root.h"
#include "ui/tray_icon.h"
#include "ui_test_support.h"

namespace cmdtest {

class PanelUnderTest : public CSkinDialog {
public:
    PanelUnderTest() : CSkinDialog(102) {}
    ~PanelUnderTest() override { DestroyWindow(); }

    cmd::LedWindowCommands* commands = nullptr;
    HMENU lastPopup = nullptr;  // the menu of the last WM_INITMENUPOPUP

    BOOL OnCmdMsg(UINT id, int code, CCmdUI* ui) override;
    LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override;
    void OnSkinButton(const std::u16string& name) override { commands->OnSkinButton(name); }
    void OnSkinSlider(const std::u16string& name, int code, int position) override {
        commands->OnSkinSlider(name, code, position);
    }
};

// A details or self-test dialog: a plain popup window once opened.
struct FakeDialog {
    std::unique_ptr<CWnd> window;
    const SmartDevice* device = nullptr;
    BOOL fahrenheit = FALSE;
    cmd::SelfTestKind kind = cmd::SelfTestKind::Short;
    int driveIndex = -1;
};

class FakeWindowOps : public cmd::LedWindowOps {
public:
    std::vector<cmd::RowView> rows;
    bool groups[4] = {true, true, true, true};
    bool smartAvailable = true;
    bool alert = false;
    std::vector<FakeDialog> details;
    std::vector<FakeDialog> selfTests;
    std::vector<std::string> calls;  // the layout and list operations, in order
    CTrayIcon tray;
    HMODULE resources = nullptr;
    std::map<UINT, HICON> icons;

    int LayoutRowCount() const override { return int(rows.size()); }
    cmd::RowView Row(int row) const override { return rows.at(std::size_t(row)); }
    bool GroupHasRows(cmd::DriveGroup group) const override { return groups[int(group)]; }
    bool SmartAvailable() const override { return smartAvailable; }
    bool AlertActive() const override { return alert; }
    void ClearAlert() override { alert = false; }
    void ReadDriveList() override { calls.push_back("GetLocalDrives"); }
    void Relayout(int row_count, int bias) override {
        calls.push_back("Relayout " + std::to_string(row_count) + " " + std::to_string(bias));
    }
    int PreviousLayoutRowCount() const override { return int(rows.size()); }
    void LayoutRefresh() override { calls.push_back("LayoutRefresh"); }
    void RetintImageLists(int color_index) override { calls.push_back("Retint " + std::to_string(color_index)); }
    CTrayIcon& TrayIcon() override { return tray; }
    HICON WindowIcon(UINT id) override;
    int DetailsDialogCount() const override { return int(details.size()); }
    CWnd* DetailsDialogWindow(int position) const override { return WindowOf(details, position); }
    const SmartDevice* DetailsDialogDevice(int position) const override {
        return details.at(std::size_t(position)).device;
    }
    CWnd* OpenDetailsDialog(int position, const SmartDevice* device, BOOL fahrenheit) override;
    int SelfTestDialogCount() const override { return int(selfTests.size()); }
    CWnd* SelfTestDialogWindow(int position) const override { return WindowOf(selfTests, position); }
    CWnd* OpenSelfTestDialog(int position, cmd::SelfTestKind kind, int drive_index) override;
    void ShowHelp() override { calls.push_back("Help"); }

private:
    static CWnd* WindowOf(const std::vector<FakeDialog>& list, int position);
    static CWnd* Open(FakeDialog& dialog, int position);
};

// Icons as a notification area shows them.
class RecordingTray : public plat::ui::TrayHost {
public:
    bool Show(const plat::ui::TrayIcon& icon) override {
        shown.push_back(icon.icon);
        return true;
    }
    void Remove(HWND, UINT) override {}
    std::vector<HICON> shown;
};

class LedPanelTest : public uitest::UiTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the commands for the panel with the current settings.
    void Start();
    POINT ScreenOf(POINT client) const;
    // Answers the next modal windows (menus, boxes) in turn.
    void Answer(std::initializer_list<std::function<void(HWND)>> answers);
    static void Keys(std::initializer_list<int> keys);
    // The state of an item of the last menu shown: checked, enabled.
    std::pair<bool, bool> ItemState(UINT id) const;

    static cmd::RowView DiskRow(const SmartDevice* device, int left, std::vector<cmd::LetterView> letters);

    ScopedRoot m_root;
    GuiSettings m_settings;
    PanelUnderTest m_panel;
    FakeWindowOps m_ops;
    std::shared_ptr<RecordingTray> m_tray = std::make_shared<RecordingTray>();
    std::unique_ptr<cmd::LedWindowCommands> m_commands;
    std::vector<std::vector<std::string>> m_launched;
    std::deque<std::function<void(HWND)>> m_answers;
    std::vector<HWND> m_modals;
    SmartDevice m_disk0{}, m_disk1{};
};

}  // namespace cmdtest
