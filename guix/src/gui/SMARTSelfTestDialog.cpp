#include "SMARTSelfTestDialog.h"

#include "GuiLog.h"
#include "SelfTestIndicators.h"
#include "SmartDialogCommon.h"
#include "base/format.h"
#include "base/sync.h"
#include "ui/ui.h"

namespace {

// Skin images (face, mask, hover, pressed, disabled).
constexpr UINT kFace = 216, kMask = 219, kHover = 215, kPressed = 285, kDisabled = 218;
constexpr UINT kButtons[] = {217, 218, 213};
constexpr UINT kProgressRecord = 214, kCancelCaptionRecord = 215;
constexpr UINT kShortTitle = 228, kExtendedTitle = 229;
constexpr RECT kShortTitleRect{75, 20, 243, 34}, kExtendedTitleRect{50, 20, 255, 34};
constexpr UINT kDriveRecord = 248, kTimeCaptionRecord = 231, kTimeRecord = 268, kResultRecord = 230;
constexpr UINT kNotAvailable = 202;
constexpr UINT kCloseCaption = 216, kCancelCaption = 234, kTimeFormat = 232, kResultFormat = 233;
constexpr UINT kDay = 250, kDays = 249;
constexpr RECT kAnimationRect{55, 40, 255, 110};
constexpr UINT kAnimationId = 1000;

constexpr std::u16string_view kProgress = u"PROGRESS_A";
constexpr std::u16string_view kCancelLabel = u"TEXT_BUTTON_CANCEL";
constexpr std::u16string_view kTimeLabel = u"SMART_SELF_TEST_TIME_LABEL";
constexpr std::u16string_view kResultLabel = u"SMART_SELF_TEST_RESULT_LABEL_STATUS";

// Posted by UpdateGUI when the test is over: the GUI thread stops the clip.
constexpr UINT kStopAnimation = WM_APP + 0x5A;

}  // namespace

CSMARTSelfTestDialog::CSMARTSelfTestDialog(CWnd* owner, GuiSettings& settings, CSmart& smart)
    : CSkinDialog(kTemplate, owner),
      m_pOwner(owner),
      m_settings(settings),
      m_smart(smart),
      m_hStopPolling(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CSMARTSelfTestDialog::~CSMARTSelfTestDialog() {
    m_running = 0;
    Close();  // here, so that this class's OnDestroy still runs
    StopPolling();
    CloseHandle(m_hStopPolling);
}

BOOL CSMARTSelfTestDialog::Open() {
    if (m_hWnd) return FALSE;
    StopPolling();  // the thread of an earlier window, already told to end
    return Create(kTemplate, m_pOwner);
}

void CSMARTSelfTestDialog::Close() {
    if (m_hWnd) DestroyWindow();
}

BOOL CSMARTSelfTestDialog::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    m_window = m_hWnd;
    m_finished = 0;
    m_stage = 0;
    smartdlg::ApplyAlpha(*this, m_settings);
    LoadSkinBitmaps(kFace, kMask, kHover, kPressed, kDisabled);
    for (UINT record : kButtons) AddButtonFromString(record);
    AddProgressFromString(kProgressRecord);
    AddLabelFromString(kCancelCaptionRecord);

    const std::u16string none = smartdlg::LoadText(kNotAvailable);
    if (m_extended)
        AddLabelFromRecord(smartdlg::LoadText(kExtendedTitle), kExtendedTitleRect);
    else
        AddLabelFromRecord(smartdlg::LoadText(kShortTitle), kShortTitleRect);
    AddLabelFromRecord(plat::Format(smartdlg::LoadText(kDriveRecord), m_driveIndex), RECT{});
    AddLabelFromRecord(smartdlg::LoadText(kTimeCaptionRecord), RECT{});
    AddLabelFromRecord(plat::Format(smartdlg::LoadText(kTimeRecord), none), RECT{});
    AddLabelFromRecord(plat::Format(smartdlg::LoadText(kResultRecord), none), RECT{});

    // The state of an earlier window is not this test's.
    m_remainingSeconds = 0;
    m_progress = 0;
    m_status = 0;
    const bool started =
        m_pDevice && m_smart.ExecuteSelfTest(m_pDevice, m_extended ? SMART_TEST_EXTENDED : SMART_TEST_SHORT);
    // Until the service reports, a started test reads as running; the
    // status of no test (0) would read as a test completed without error.
    if (started) {
        m_status = selftest::kStatusInProgress;
        UpdateResultLabel();
    }

    StartPolling();
    m_animation.Create(WS_VISIBLE | ACS_CENTER, kAnimationRect, this, kAnimationId);
    m_animation.Open(kClip);
    m_animation.Play(0, UINT(-1), UINT(-1));
    return started ? TRUE : FALSE;
}

void CSMARTSelfTestDialog::StartPolling() {
    ResetEvent(m_hStopPolling);
    m_running = 1;
    m_poller = std::thread([this] { PollLoop(); });
}

void CSMARTSelfTestDialog::StopPolling() {
    SetEvent(m_hStopPolling);
    if (m_poller.joinable()) m_poller.join();
}

DWORD CSMARTSelfTestDialog::PollLoop() {
    DWORD result = 0;
    try {
        while (m_running && IsOpen()) {
            DWORD seconds = m_remainingSeconds;
            BYTE raw = 0;
            const bool read = m_pDevice && m_smart.ReadSelfTestData(m_pDevice, &seconds, &raw);
            result = read ? 1 : 0;
            gui::Trace("SMARTSelfTestCallbackThread: IN: QUIVR_SMART_READ_SELF_TEST_DATA OUT: %d | %d RET: %d\n",
                       seconds, read ? raw : m_status.load(), result);
            // A failed read leaves the indicators as they are.
            if (read) {
                m_remainingSeconds = seconds;
                m_progress = selftest::ProgressOf(raw);
                m_status = selftest::StatusOf(raw);
            }
            UpdateGUI();
            if (WaitForSingleObject(m_hStopPolling, PollInterval()) == WAIT_OBJECT_0) break;
        }
    } catch (...) {
        // The thread ends; the dialog stays open.
    }
    return result;
}

void CSMARTSelfTestDialog::UpdateGUI() {
    if (!IsOpen()) return;
    gui::Trace("CSMARTSelfTestDialog::UpdateGUI() Start");
    const BYTE status = m_status;
    const int progress = m_progress;
    if (m_running) {
        if (status == selftest::kStatusInProgress) {
            gui::Trace("CSMARTSelfTestDialog::UpdateGUI() CancelButton");
            SetLabelText(kCancelLabel, smartdlg::LoadText(kCancelCaption));
        } else {
            gui::Trace("CSMARTSelfTestDialog::UpdateGUI() CloseButton");
            SetLabelText(kCancelLabel, smartdlg::LoadText(kCloseCaption));
            m_finished = 1;
        }
    }
    if (progress != 0 && progress != 100 && status != selftest::kStatusInProgress) {
        // The test ended part-way.
        gui::Trace("CSMARTSelfTestDialog::UpdateGUI() ProgressBar: %d & Status: %d", progress, status);
        SetProgressPos(kProgress, 0);
    } else {
        SetProgressPos(kProgress, progress);
        gui::Trace("CSMARTSelfTestDialog::UpdateGUI() ProgressBar: %d", progress);
    }
    const std::u16string time =
        selftest::RemainingTimeText(m_remainingSeconds, smartdlg::LoadText(kDay), smartdlg::LoadText(kDays));
    SetLabelText(kTimeLabel, plat::Format(smartdlg::LoadText(kTimeFormat), time));
    UpdateResultLabel();
}

void CSMARTSelfTestDialog::UpdateResultLabel() {
    const auto result = selftest::ResultOf(m_status);
    if (!result) return;
    SetLabelColor(kResultLabel, 0, result->colour);
    SetLabelText(kResultLabel,
                 plat::Format(smartdlg::LoadText(kResultFormat), smartdlg::LoadText(result->text)));
    if (result->stopsAnimation) {
        if (HWND window = m_window.load()) PostMessageW(window, kStopAnimation, 0, 0);
    }
}

void CSMARTSelfTestDialog::Abort() {
    if (m_pDevice) m_smart.AbortSelfTest(m_pDevice);
}

void CSMARTSelfTestDialog::OnSkinButton(const std::u16string& name) {
    if (name == u"BUTTON_EXIT") {
        Close();
    } else if (name == u"BUTTON_MINIMIZE") {
        smartdlg::RunOwnerCommand(m_pOwner, smartdlg::kOwnerMinimiseToTray);
    } else if (name == u"BUTTON_CANCEL") {
        if (m_finished || !m_running) {
            m_finished = 1;
            Close();
            return;
        }
        Abort();
        m_running = 0;
        SetProgressPos(kProgress, 0);
        SetLabelText(kCancelLabel, smartdlg::LoadText(kCloseCaption));
        m_finished = 1;
    }
}

void CSMARTSelfTestDialog::OnCancel() {
    Abort();
    Close();
}

BOOL CSMARTSelfTestDialog::OnCmdMsg(UINT id, int code, CCmdUI* ui) {
    if (code != CN_COMMAND) return CSkinDialog::OnCmdMsg(id, code, ui);
    if (smartdlg::RunSharedCommand(m_pOwner, id)) return TRUE;
    switch (id) {
    case smartdlg::kCmdClose: Close(); return TRUE;
    default: return CSkinDialog::OnCmdMsg(id, code, ui);
    }
}

void CSMARTSelfTestDialog::OnContextMenu(HWND, POINT point) { smartdlg::ShowContextMenu(*this, kMenu, point); }

LRESULT CSMARTSelfTestDialog::WindowProc(UINT message, WPARAM wp, LPARAM lp) {
    if (message == kStopAnimation) {
        if (m_animation.m_hWnd) {
            m_animation.Stop();
            m_animation.Seek(0);
        }
        return 0;
    }
    return CSkinDialog::WindowProc(message, wp, lp);
}

void CSMARTSelfTestDialog::OnDestroy() {
    m_window = nullptr;
    SetEvent(m_hStopPolling);
    if (m_animation.m_hWnd) m_animation.Close();
    CSkinDialog::OnDestroy();
    Abort();
}
