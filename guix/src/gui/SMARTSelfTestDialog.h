// CSMARTSelfTestDialog: runs a drive's built-in S.M.A.R.T. self-test (short
// or extended) and follows it. When it opens it asks the service to start
// the test, plays an animation and starts a polling thread that reads the
// test's state every 5 s (short) or 10 s (extended) and updates the progress
// bar, the remaining time, the result and the caption of the cancel button.
// Every way of closing sends an abort request, which the service ignores
// once no test runs on the drive.
//
// The LED window keeps one object per S.M.A.R.T. drive and opens the first
// one without a window for the drive the user picked. It hands over the
// drive's own record (SetDevice): the row number it shows (SetDriveIndex)
// is a position among all rows, not among the S.M.A.R.T. drives, so it
// never chooses the record.
//
// Threads: the GUI thread creates, closes and destroys the dialog and
// handles its buttons and menu; the polling thread (one per open window)
// sends the read requests and calls UpdateGUI, which only uses the skin
// dialog's by-name setters (they store and invalidate) and posts the
// animation's changes to the GUI thread, so it never waits for that
// thread. The members both threads read are atomics. Closing wakes the
// polling thread at once; destroying the object joins it, so the thread
// ends within one request, never by being killed.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "Settings.h"
#include "skin/SkinDialog.h"
#include "smart/CSmart.h"
#include "ui/framework_controls.h"

class CSMARTSelfTestDialog : public CSkinDialog {
public:
    static constexpr UINT kTemplate = 103;
    static constexpr UINT kMenu = 180;
    static constexpr UINT kClip = 286;
    static constexpr DWORD kShortPollMs = 5000;
    static constexpr DWORD kExtendedPollMs = 10000;

    // `owner` is the LED window (parent, target of the hide and show
    // commands), `settings` its live settings block, `smart` the S.M.A.R.T.
    // client the requests go to.
    CSMARTSelfTestDialog(CWnd* owner, GuiSettings& settings, CSmart& smart);
    ~CSMARTSelfTestDialog() override;

    // Set by the LED window before Open.
    void SetExtendedTest(DWORD flag) { m_extended = flag ? 1 : 0; }
    void SetDriveIndex(int index) { m_driveIndex = index; }
    void SetDevice(SmartDevice* device) { m_pDevice = device; }
    DWORD IsExtendedTest() const { return m_extended; }
    int DriveIndex() const { return m_driveIndex; }
    SmartDevice* Device() const { return m_pDevice; }

    // Creates the window, which starts the test; FALSE when it is open
    // already or cannot be created.
    BOOL Open();
    bool IsOpen() const { return m_window.load() != nullptr; }
    // Destroys the window (which aborts the test); the object stays.
    void Close();

    BOOL OnInitDialog() override;
    void OnSkinButton(const std::u16string& name) override;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* ui) override;
    void OnOK() override {}
    void OnCancel() override;
    LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override;

    // Refreshes every indicator from the members; the polling thread calls it.
    void UpdateGUI();

    // The state the indicators show, for the LED window and tests.
    DWORD RemainingSeconds() const { return m_remainingSeconds; }
    BYTE Status() const { return m_status; }
    int Progress() const { return m_progress; }
    bool IsRunning() const { return m_running != 0; }
    bool IsFinished() const { return m_finished != 0; }
    const CAnimateCtrl& Animation() const { return m_animation; }

protected:
    void OnContextMenu(HWND hwnd, POINT point) override;
    void OnDestroy() override;

private:
    DWORD PollInterval() const { return m_extended ? kExtendedPollMs : kShortPollMs; }
    void StartPolling();
    void StopPolling();
    // The polling thread's loop; its result is the last read's.
    DWORD PollLoop();
    void Abort();
    // The result label (and the clip) from the status.
    void UpdateResultLabel();

    CWnd* m_pOwner;
    GuiSettings& m_settings;
    CSmart& m_smart;
    SmartDevice* m_pDevice = nullptr;

    std::atomic<LONG> m_running{0};
    int m_driveIndex = -1;
    std::atomic<DWORD> m_remainingSeconds{0};
    std::atomic<BYTE> m_status{0};
    std::atomic<int> m_progress{0};
    DWORD m_extended = 0;
    std::thread m_poller;
    HANDLE m_hStopPolling = nullptr;  // manual-reset: the window closed
    std::atomic<LONG> m_finished{0};
    int m_stage = 0;
    CAnimateCtrl m_animation;
    std::atomic<HWND> m_window{nullptr};  // the window while it is open
};
