// The LED window's life: construction, OnInitDialog, the first show, moves,
// the middle button, Esc, the session's end and destruction.
#include "LUMEXGUIDlg.h"

#include <cstdint>
#include <cstring>

#include "GuiLog.h"
#include "RegistryValue.h"
#include "commands/ScrollLockMirror.h"
#include "base/hresult.h"
#include "resource/module.h"
#include "resource/resource_types.h"
#include "ui/input.h"
#include "ui/layered.h"
#include "ui/message_box.h"
#include "ui/framework_app.h"
#include "ui/resource_images.h"
#include "ui/session_end.h"

namespace {

constexpr WPARAM kIconSmall = 0, kIconBig = 1;
constexpr const WCHAR* kRunKey = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr UINT kAutostartValueString = 206;
constexpr UINT kTrayTipString = 149;
constexpr UINT kCaptionString = 152;
constexpr UINT kNoDrivesString = 150;
constexpr UINT kNoDriverString = 151;
constexpr UINT kSmartStartedString = 210;
constexpr int kRowIconSize = 28;
constexpr int kSmartImageWidth = 53, kSmartImageHeight = 27;

std::uintptr_t Number(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

HICON LoadResourceIcon(UINT id) { return LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)); }

}  // namespace

CLUMEXGUIDlg::LedState& CLUMEXGUIDlg::RowState::Led(int j) {
    if (!m_leds) m_leds = std::make_unique<std::array<LedState, kRowsPerGroup>>();
    return (*m_leds)[std::size_t(j)];
}

const CLUMEXGUIDlg::LedState& CLUMEXGUIDlg::RowState::Led(int j) const {
    static const LedState kFresh;
    return m_leds ? (*m_leds)[std::size_t(j)] : kFresh;
}

CLUMEXGUIDlg::CLUMEXGUIDlg(settings::SettingsWriter& settings_writer)
    : CSkinDialog(kTemplate), m_settingsWriter(settings_writer) {
    m_iconNormal = LoadResourceIcon(kIconNormal);
    m_iconSmartOff = LoadResourceIcon(kIconSmartOff);
    m_iconAlert = LoadResourceIcon(kIconAlert);
    m_pSmartHandler = std::make_unique<CSmartHandler>(&gui::Log());
}

CLUMEXGUIDlg::~CLUMEXGUIDlg() {
    // The window's own OnDestroy must run while this object is whole.
    if (m_hWnd) DestroyWindow();
    m_threads.StopAll();
}

std::u16string CLUMEXGUIDlg::LoadText(UINT id) const {
    WCHAR text[1024] = {};
    LoadStringW(AfxGetResourceHandle(), id, text, 1024);
    return text;
}

int CLUMEXGUIDlg::ShowMessage(UINT text_id, UINT flags) {
    const std::u16string text = LoadText(text_id), caption = LoadText(kCaptionString);
    return MessageBoxW(m_hWnd, text.c_str(), caption.c_str(), flags | MB_TOPMOST);
}

BOOL CLUMEXGUIDlg::OnInitDialog() {
    gui::Trace("CGDLG::OIU: ->");
    m_commands = std::make_unique<cmd::LedWindowCommands>(*this, m_commandSite, m_Settings, cmd::ThisSystem());
    LOGFONTW font{};
    HGDIOBJ list_font = GetStockObject(DEFAULT_GUI_FONT);
    if (!list_font || !GetObjectW(list_font, sizeof font, &font)) GetObjectW(GetStockObject(ANSI_VAR_FONT), sizeof font, &font);
    font.lfHeight = -10;
    font.lfWeight = 700;
    m_boldFont.Reset(CreateFontIndirectW(&font));

    EnableTransparency();
    ReadAutostart();
    SetColorIndex(m_Settings.Color);

    m_layout = LedLayoutValues::Parse(LoadText(kLayoutString));
    SetSnapDistance(m_layout.SnapDistance());
    LoadSkinBitmaps(211, 213, 214, 261, 212);
    LoadSecondSkinBitmaps(271, 273, 274, 272, 297);
    SetAutoHide(m_Settings.AutoHide);
    EnableSnap(m_Settings.Snap);

    LoadImageLists();
    for (int group = 0; group < kGroupCount; ++group)
        m_driver.Groups().SetCaption(group, LoadText(kGroupCaptionStrings[group]));

    const HRESULT prepared = m_driver.PrepareDriver();
    if (prepared == E_FAIL || prepared == 1) {
        gui::Fatal("CGDLG::OIU: PrepareDriver() FAILED");
        ShowMessage(kNoDriverString, MB_ICONERROR);
        m_closing = true;
        return FALSE;
    }
    if (m_Settings.SmartEnabled) StartSmart();

    const int records = m_driver.Groups().RecordCount();
    if (records > 0) {
        Relayout(m_driver.Groups().RowCount(), 1);
        m_driveCount = records;
        m_threads.StartPolling();
        m_threads.StartWatch();
        if (m_Settings.SmartEnabled) m_threads.StartSmartPolling(*m_pSmartHandler, m_Settings);
    } else {
        ShowMessage(kNoDrivesString, MB_ICONERROR);
        m_closing = true;
    }
    CreateTrayIcon();

    CSkinDialog::OnInitDialog();
    SendMessage(WM_SETICON, kIconBig, reinterpret_cast<LPARAM>(m_iconNormal));
    SendMessage(WM_SETICON, kIconSmall, reinterpret_cast<LPARAM>(m_iconNormal));
    SetWindowPos(m_hWnd, m_Settings.AlwaysOnTop ? HWND_TOPMOST : HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    gui::Trace("CGDLG::OIU: <-");
    if (!m_tooltips.m_hWnd) m_tooltips.Create(this);
    return TRUE;
}

// Transparency is available exactly when the window system shows it: the
// stored flag of an earlier run on another display does not count.
void CLUMEXGUIDlg::EnableTransparency() {
    const LONG ex_style = GetWindowLongW(m_hWnd, GWL_EXSTYLE);
    SetWindowLongW(m_hWnd, GWL_EXSTYLE, LONG(DWORD(ex_style) | WS_EX_LAYERED));
    m_Settings.TransparencyAvailable = SetLayeredWindowAttributes(m_hWnd, 0, m_Settings.Alpha, LWA_ALPHA) ? 1 : 0;
    if (m_Settings.Alpha == 255) SetWindowLongW(m_hWnd, GWL_EXSTYLE, LONG(DWORD(ex_style) & ~WS_EX_LAYERED));
}

void CLUMEXGUIDlg::ReadAutostart() {
    std::u16string command;
    m_Settings.Autostart =
        ReadRegistryString(HKEY_CURRENT_USER, kRunKey, LoadText(kAutostartValueString).c_str(), command) ? 1 : 0;
}

void CLUMEXGUIDlg::LoadImageLists() {
    EnterCriticalSection(&m_drawingLock);
    m_ledImages.Load(259, m_layout.LedWidth(), m_layout.LedHeight(), 6);
    m_rowIcons.Load(258, kRowIconSize, kRowIconSize, 5);
    m_smartImages.Load(260, kSmartImageWidth, kSmartImageHeight, 6);
    m_imagesTint = -1;  // tinted at the first drawing
    LeaveCriticalSection(&m_drawingLock);
}

// The S.M.A.R.T. client: connect, list and prepare the drives, then one row,
// one pair of dialogs and one event-log entry per monitored drive.
void CLUMEXGUIDlg::StartSmart() {
    gui::Trace("CGDLG::OIU: SMART is enabled, reading infos...");
    const int initialised = m_pSmartHandler->Initialize();
    gui::Trace("CGDLG::OIU: m_pSmartHandler->Initialize()... returned b=%d", initialised);
    m_smartDevices = m_pSmartHandler->GetDeviceCount();
    for (int i = 0; i < m_smartDevices; ++i) {
        gui::Trace("CGDLG::OIU: GetSMARTDevice...");
        SmartDevice* device = m_pSmartHandler->GetDevice(i);
        gui::Trace("CGDLG::OIU: GetSMARTDevice returned 0x%x", Number(device));
        if (!device) continue;
        const SmartDevice as_read = SmartCopy(*device);
        EnterCriticalSection(&m_drawingLock);
        m_driver.Groups().AttachSmart(device, as_read);
        LeaveCriticalSection(&m_drawingLock);
        SmartDialogs dialogs{device, std::make_unique<CSMARTDetailDialog>(this, m_Settings, m_pSmartHandler.get()),
                             std::make_unique<CSMARTSelfTestDialog>(this, m_Settings, *m_pSmartHandler)};
        dialogs.details->SetDevice(device);
        dialogs.details->SetFahrenheit(m_Settings.Fahrenheit);
        dialogs.selfTest->SetDevice(device);
        m_smartDialogs.push_back(std::move(dialogs));

        CLog event_log;
        event_log.Init(u"LUMEX", TRUE, gui::kTraceLevel, TRUE);
        CLog::Print(&event_log, gui::kTraceLevel, u"LUMEXGUI", LoadText(kSmartStartedString));
        event_log.Close();
        m_smartAvailable = true;
    }
    if (m_smartDevices == 0) m_Settings.SmartDisplay = 0;
}

void CLUMEXGUIDlg::CreateTrayIcon() {
    HICON icon = m_iconSmartOff;
    UINT menu = kTrayMenu, command = kDefaultCommand;
    if (m_Settings.SmartDisplay) {
        icon = m_alert ? m_iconAlert : m_iconNormal;
        if (m_Settings.DisableMouseButtons) menu = command = 0;
    }
    m_tray.Create(this, WM_TRAY_NOTIFY, LoadText(kTrayTipString).c_str(), icon, menu, command);
}

void CLUMEXGUIDlg::RaiseAlert() {
    if (m_alert.exchange(true)) return;
    if (m_hWnd) PostMessage(WM_ALERT_RAISED);
}

void CLUMEXGUIDlg::ResetAlert() {
    m_alert = false;
    m_tray.SetIcon(m_Settings.SmartDisplay ? m_iconNormal : m_iconSmartOff);
}

void CLUMEXGUIDlg::UpdateKeyboardLed() {
    if (!m_Settings.KeyboardLed) return;
    const bool busy = m_driver.Groups().AnyActivity(m_driver.ReadMask(), m_driver.WriteMask(), m_Settings);
    cmd::MirrorActivityOnScrollLock(true, busy);
}

void CLUMEXGUIDlg::PostDrivesChanged() {
    if (m_hWnd) PostMessage(WM_DRIVES_CHANGED);
}

LRESULT CLUMEXGUIDlg::WindowProc(UINT message, WPARAM wp, LPARAM lp) {
    switch (message) {
        case WM_DRIVES_CHANGED:
            OnDrivesChanged();
            return 0;
        case WM_ALERT_RAISED:
            if (m_alert) m_tray.SetIcon(m_iconAlert);
            return 0;
        case WM_TOOLS_STALE:
            RebuildTooltips();
            return 0;
        case WM_BACK_TO_TRAY:
            m_tray.MinimiseToTray(this);
            return 0;
        case WM_ENDSESSION:
            // The close that follows stores the settings (session_end.h).
            gui::Trace("CGDLG::OES: the session ends (%d)", int(wp));
            return 0;
        default:
            // Button messages 5030 to 5130 and the tray icon's notifications.
            if (m_commands && m_commands->OnWindowMessage(message, wp, lp)) return 0;
            return CSkinDialog::WindowProc(message, wp, lp);
    }
}

// Message 5010: the list is read again; an empty list ends the program, a
// changed count lays the window out again.
void CLUMEXGUIDlg::OnDrivesChanged() {
    m_driver.GetLocalDrives();
    const int records = m_driver.Groups().RecordCount();
    if (records == 0) {
        ShowMessage(kNoDrivesString, MB_ICONERROR);
        m_closing = true;
        Invalidate(TRUE);
        return;
    }
    if (records != m_driveCount) {
        m_driveCount = records;
        Invalidate(TRUE);
        RefreshLayout();
    }
}

void CLUMEXGUIDlg::OnShowWindow(BOOL show, UINT status) {
    CSkinDialog::OnShowWindow(show, status);
    // A window that failed its start closes at its next paint.
    if (!show || m_closing) return;
    gui::Trace("CGDLG: OSHWI(): -> (%d)", show);
    // Restoring the placement shows the window again; that show is part of
    // this first one.
    if (!m_initialised && !m_firstShowing) {
        m_firstShowing = true;
        WINDOWPLACEMENT& placement = m_Settings.Placement;
        const RECT& normal = placement.rcNormalPosition;
        gui::Trace("CGDLG: OSHWI(): Setting pos=(%ld, %ld, 0, 0)", normal.left, normal.top);
        const bool stored = normal.left || normal.top || normal.right || normal.bottom;
        const bool to_tray = (placement.showCmd & 6) != 0;
        if (stored) {
            WINDOWPLACEMENT restore = placement;
            restore.length = sizeof restore;
            restore.showCmd &= ~6u;
            if (restore.showCmd == 0) restore.showCmd = SW_SHOWNORMAL;
            SetWindowPlacement(m_hWnd, &restore);
            if (to_tray) {
                m_Settings.MinimizedToTray = 1;
                PostMessage(WM_BACK_TO_TRAY);
            }
        }
        Invalidate(TRUE);
        RefreshLayout();
        // What the start made of the stored settings counts as stored: what
        // it changed (the transparency, the autostart value, the tray bits)
        // it finds again at every start.
        m_settingsWriter.Seed(m_Settings);
        m_initialised = true;
        m_firstShowing = false;
    }
    gui::Trace("CGDLG: OSHWI(): <- (%d)", show);
}

void CLUMEXGUIDlg::StorePlacement() {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (GetWindowPlacement(m_hWnd, &placement)) m_Settings.Placement = placement;
}

void CLUMEXGUIDlg::OnMove(int x, int y) {
    CSkinDialog::OnMove(x, y);
    if (m_initialised) {
        StorePlacement();
        m_Settings.SnapEdge = IsDockedRight();
    }
    OnPaint();
}

void CLUMEXGUIDlg::OnSize(UINT type, int cx, int cy) {
    CSkinDialog::OnSize(type, cx, cy);
    OnPaint();
}

// The stored settings follow the window while the user works with it. A
// move of the mouse that changed nothing writes nothing (the writer was
// seeded with the settings the window started with).
void CLUMEXGUIDlg::OnMouseMove(UINT flags, POINT point) {
    m_settingsWriter.Save(m_Settings);
    CSkinDialog::OnMouseMove(flags, point);
}

void CLUMEXGUIDlg::OnMButtonUp(UINT flags, POINT point) {
    SetTimer(kBackOnTopTimer, kBackOnTopMs);
    SetWindowPos(m_hWnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    CSkinDialog::OnMButtonUp(flags, point);
}

void CLUMEXGUIDlg::OnTimer(UINT_PTR id) {
    gui::Trace("CGDLG:OTIMR(): -> (%d)", id);
    if (id == kBackOnTopTimer) {
        KillTimer(kBackOnTopTimer);
        if (m_Settings.AlwaysOnTop == 1) {
            SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            CLog::Print(&gui::Log(), 3, u"", "CGDLG:OTIMR(): Back to always on top?!");
        }
    }
    CSkinDialog::OnTimer(id);
    gui::Trace("CGDLG:OTIMR(): <-");
}

HCURSOR CLUMEXGUIDlg::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(m_iconNormal); }

void CLUMEXGUIDlg::OnCancel() {
    gui::Trace("USER: OnCancel() Status: %d\n", 0);
    DestroyWindow();
}

void CLUMEXGUIDlg::OnDestroy() {
    gui::Trace("CGDLG::ODEST: ->");
    // A drawing of the poll thread that has begun ends before the window
    // goes; later ones see the window as gone.
    EnterCriticalSection(&m_drawingLock);
    m_destroying = true;
    LeaveCriticalSection(&m_drawingLock);
    CSkinDialog::OnDestroy();
    StorePlacement();
    if (m_Settings.MinimizedToTray) m_Settings.Placement.showCmd |= 6;
    m_driver.Close();
    if (m_Settings.KeyboardLed) cmd::SwitchScrollLockOff();
    m_threads.StopAll();
    m_tray.RemoveIcon();
    gui::Trace("CGDLG::ODEST: <-");
}

// Closing the only window ends the program; with exit code 1 when the start
// or a refresh could not go on (no driver, no drives).
void CLUMEXGUIDlg::PostNcDestroy() { PostQuitMessage(m_closing ? 1 : 0); }
