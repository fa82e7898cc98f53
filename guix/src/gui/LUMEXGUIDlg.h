// CLUMEXGUIDlg: the LED window, the GUI's main window. A skinned dialog
// (template 102) with one row per disk, CD/DVD drive, network group, tape or
// removable drive; one LED per letter, lit in the read, write or
// read-and-write look while the driver reports requests in flight; a
// S.M.A.R.T. box (health, life bar, temperature) beside every monitored
// disk; the options strip and the window buttons at the right end.
//
// Pieces: the driver link and the drive groups (DriverLink.h), the worker
// threads (LedThreads.h), the S.M.A.R.T. client (SmartHandler.h). The
// window's own work is split by concern: LUMEXGUIDlg.cpp (life: start,
// show, moves, destruction), LedWindowLayout.cpp (Relayout and the layout
// refresh), LedWindowPaint.cpp (the panel, rows, LEDs and S.M.A.R.T. boxes;
// the alert), LedWindowTooltips.cpp.
//
// Arrangement. With Horizontal set the rows follow each other from left to
// right and the window grows in width; with it cleared they are stacked from
// top to bottom, each one window-row high, the window as wide as the widest
// row plus the options strip and buttons, with the same LEDs, boxes,
// tooltips and hit tests.
//
// Threads: the GUI thread owns the window. The poll thread calls
// RedrawActivity, which draws under the drawing lock into one memory bitmap
// copied to the window in one operation; the layout-busy flag keeps it from
// drawing while a layout runs. The alert may be raised from either thread;
// the tray icon changes on the GUI thread (a posted message).
//
// Seams for the window's commands: HitTestRow, IsRowVisible, Relayout /
// RefreshLayout, RedrawActivity, DrawingLock, RowSmartDevice, the alert
// operations, ShowMessage, UpdateKeyboardLed, TrayIcon and the settings.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#include "DriverLink.h"
#include "LedLayoutValues.h"
#include "LedWindowCommandSite.h"
#include "LedThreads.h"
#include "PanelPiece.h"
#include "SMARTDetailDialog.h"
#include "SMARTSelfTestDialog.h"
#include "Settings.h"
#include "SettingsStore.h"
#include "SmartHandler.h"
#include "TintedImageList.h"
#include "commands/CommandIds.h"
#include "commands/LedWindowCommands.h"
#include "skin/Skin.h"
#include "ui/framework_controls.h"
#include "ui/framework_tray_icon.h"

class CLUMEXGUIDlg : public CSkinDialog, private LedThreadClient {
public:
    static constexpr UINT kTemplate = 102;
    static constexpr UINT WM_DRIVES_CHANGED = 5010;
    // Posted by RaiseAlert so the tray icon changes on the GUI thread.
    static constexpr UINT WM_ALERT_RAISED = WM_APP + 0x51;
    // Mouse events on the tray icon.
    static constexpr UINT WM_TRAY_NOTIFY = cmd::kMsgTrayNotify;
    // Posted by the poll thread when a drive's LED went away, so the
    // tooltips follow on the GUI thread.
    static constexpr UINT WM_TOOLS_STALE = WM_APP + 0x53;
    // Posted by the first show of a window stored in the tray: it goes
    // there once the show that is under way has finished.
    static constexpr UINT WM_BACK_TO_TRAY = WM_APP + 0x54;
    static constexpr UINT_PTR kBackOnTopTimer = 43223;
    static constexpr UINT kBackOnTopMs = 5000;

    static constexpr UINT kIconNormal = 138, kIconSmartOff = 277, kIconAlert = 208;
    static constexpr UINT kTrayMenu = 145, kDefaultCommand = 205;
    static constexpr UINT kLayoutString = 211;

    // Per-LED image indexes.
    static constexpr int kLedReading = 0, kLedWriting = 1, kLedBoth = 2, kLedIdle = 3, kLedUsedBar = 4,
                         kLedNetwork = 5;

    // The window saves its settings through the application's writer.
    explicit CLUMEXGUIDlg(settings::SettingsWriter& settings_writer);
    ~CLUMEXGUIDlg() override;

    // The live settings block; the application copies the stored settings
    // in before the window is created and takes a copy out at exit.
    GuiSettings m_Settings;

    BOOL OnInitDialog() override;
    void OnCancel() override;

    // Layout (LedWindowLayout.cpp). `bias` 1 for the start and the options
    // button, 0 for the refresh.
    void Relayout(int row_count, int bias);
    // Counts the records, lays out (bias 0) and invalidates the window.
    void RefreshLayout();

    // Drawing (LedWindowPaint.cpp). Any thread.
    void RedrawActivity() override;

    // The row under a client point (its box or S.M.A.R.T. area); -1 for
    // none.
    int HitTestRow(POINT client) const;
    // The letter under a client point: its row and index, false for none.
    bool HitTestLetter(POINT client, int* row, int* letter) const;
    bool IsRowVisible(int row) const { return m_driver.Groups().IsRowVisible(row, m_Settings); }
    SmartDevice* RowSmartDevice(int row) const { return m_driver.Groups().Smart(row); }
    CRITICAL_SECTION& DrawingLock() { return m_drawingLock; }

    bool IsAlertActive() const { return m_alert.load(); }
    // Sets the alert and gives the tray icon icon 208 (once).
    void RaiseAlert();
    // Clears the alert; the tray icon returns to its normal look.
    void ResetAlert();
    // A message box with string `text_id`, caption string 152 and `flags`
    // plus MB_TOPMOST.
    int ShowMessage(UINT text_id, UINT flags);
    // The Scroll Lock mirror (KeyboardLed) after every panel drawing.
    void UpdateKeyboardLed();

    CDriverLink& DriverLink() { return m_driver; }
    const CDriverLink& DriverLink() const { return m_driver; }
    CSmartHandler& SmartHandler() { return *m_pSmartHandler; }
    CLedThreads& Threads() { return m_threads; }
    CTrayIcon& TrayIcon() { return m_tray; }
    // Icon 138, 277 or 208 as the window loaded it; null for other ids.
    HICON WindowIcon(UINT id) const {
        return id == kIconNormal ? m_iconNormal : id == kIconSmartOff ? m_iconSmartOff : id == kIconAlert ? m_iconAlert : nullptr;
    }
    const LedLayoutValues& Layout() const { return m_layout; }
    int SmartDeviceCount() const { return m_smartDevices; }
    bool IsInitialised() const { return m_initialised; }
    bool IsClosing() const { return m_closing; }
    // Rows placed by the last layout.
    int LaidOutRows() const { return m_previousRows; }
    // Whether the last layout found fewer rows than the one before and
    // stretched with the shrink values (layout values 8 and 9).
    bool LastLayoutShrank() const { return m_lastLayoutShrank; }

    // Per-row and per-LED state the panel keeps (client coordinates).
    struct LedState {
        RECT rect{};
        int image = -1;  // the LED image last drawn
        int freePercent = 0;
        double freeGigabytes = 0.0;
        int upperTool = -1;
        int lowerTool = -1;
    };
    struct RowState {
        RECT box{};
        RECT smartArea{};
        int redraws = 0;
        int tool = -1;
        // LED j (below kRowsPerGroup). The LEDs of a row are made when it is
        // first laid out or drawn, so the window keeps state only for rows
        // in use; before that every LED reads as a fresh one.
        LedState& Led(int j);
        const LedState& Led(int j) const;
        std::size_t LedCount() const { return m_leds ? m_leds->size() : 0; }

    private:
        std::unique_ptr<std::array<LedState, kRowsPerGroup>> m_leds;
    };
    const RowState& Row(int row) const { return m_rows[row]; }

    // The selected row of the S.M.A.R.T. commands (-1: none).
    int m_selectedRow = -1;

    // One details and one self-test dialog per S.M.A.R.T. device, in the
    // client's device order; made at start, their windows only when the user
    // opens them.
    struct SmartDialogs {
        SmartDevice* device = nullptr;
        std::unique_ptr<CSMARTDetailDialog> details;
        std::unique_ptr<CSMARTSelfTestDialog> selfTest;
    };
    std::vector<SmartDialogs>& SmartDialogSlots() { return m_smartDialogs; }

    // Everything the user does with the window (LedWindowCommandRouting.cpp
    // forwards the commands, menus, buttons, sliders and double-clicks).
    cmd::LedWindowCommands& Commands() { return *m_commands; }
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* ui) override;
    void OnSkinButton(const std::u16string& name) override;
    void OnSkinSlider(const std::u16string& name, int code, int position) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override;
    void OnContextMenu(HWND hwnd, POINT point) override;
    void OnLButtonDblClk(UINT flags, POINT point) override;
    BOOL OnEraseBkgnd(HDC dc) override;
    void OnPaint() override;
    void OnShowWindow(BOOL show, UINT status) override;
    void OnMove(int x, int y) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnMButtonUp(UINT flags, POINT point) override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;
    HCURSOR OnQueryDragIcon() override;
    void PostNcDestroy() override;

private:
    // LedThreadClient
    bool WindowExists() const override { return m_hWnd != nullptr && !m_destroying.load(); }
    void PostDrivesChanged() override;

    // Start (LUMEXGUIDlg.cpp).
    void EnableTransparency();
    void ReadAutostart();
    void LoadImageLists();
    void StartSmart();
    void CreateTrayIcon();
    void OnDrivesChanged();
    void StorePlacement();

    // Layout pieces (LedWindowLayout.cpp).
    int RowWidth(int letters) const;
    void AddOptionsStrip(int x);
    void PlaceWindow();

    // Drawing (LedWindowPaint.cpp); the drawing lock is held.
    // Describes the panel and draws what differs from the frame on the
    // screen into the frame bitmap and the window: everything with a paint's
    // `paint_dc` or after a layout, resize or tint change; otherwise only the
    // changed pieces, through a window DC taken only when there are any.
    void DrawFrame(HDC paint_dc);
    void DrawPiece(HDC dc, const PanelPiece& piece);
    const TintedImageList& ImagesOf(PanelPiece::Images images) const;
    PanelPiece ImagePiece(PanelPiece::Images images, int image, int x, int y) const;
    // The panel's pieces in drawing order, with what a drawing does besides
    // (free space every 39 drawings per row, rows and LED rectangles, gone
    // drives removed, the alert raised, the keyboard LED).
    PanelPieces DescribePanel();
    // Row `row` at (x, y); returns its rectangle. Letters whose drives went
    // are added to `gone`.
    RECT DescribeRow(PanelPieces& pieces, int row, int x, int y, std::vector<std::pair<int, int>>& gone);
    void DescribeLed(PanelPieces& pieces, int row, int j, const DriveEntry& drive, const RECT& box);
    void DescribeSmartBox(PanelPieces& pieces, const SmartDevice& device, const RECT& row_rect);
    void DrawCentredText(HDC dc, const std::u16string& text, RECT rect, COLORREF colour);
    bool ReadFreeSpace(int row, int j, const DriveEntry& drive);
    void CheckAlert();
    SmartDevice SmartCopy(const SmartDevice& device) const;

    // Tooltips (LedWindowTooltips.cpp).
    void RebuildTooltips();
    void RemoveTool(int& id);
    void PlaceTool(int& id, int new_id, const std::u16string& text, const RECT& rect);
    std::u16string LetterTip(int group, const DriveEntry& drive, bool upper, const LedState& led) const;

    std::u16string LoadText(UINT id) const;

    CRITICAL_SECTION m_drawingLock;
    CDriverLink m_driver{m_drawingLock};
    std::unique_ptr<CSmartHandler> m_pSmartHandler;
    CLedThreads m_threads{m_driver, *this};
    LedLayoutValues m_layout;

    TintedImageList m_ledImages;
    TintedImageList m_rowIcons;
    TintedImageList m_smartImages;
    int m_imagesTint = 0;  // the colour index the working lists were made for
    HICON m_iconNormal = nullptr;
    HICON m_iconSmartOff = nullptr;
    HICON m_iconAlert = nullptr;
    skin::OwnedFont m_boldFont;
    skin::OwnedBitmap m_frame;  // the memory bitmap every drawing goes into
    SIZE m_frameSize{};
    PanelPieces m_shown;        // the pieces of the frame on the screen
    bool m_shownValid = false;  // cleared by a layout: the next frame is drawn whole
    // GetDiskFreeSpaceExW is there (the kernel host always has it); without
    // it free space comes from cluster counts and no gigabytes are known.
    bool m_freeSpaceEx = true;

    CToolTipCtrl m_tooltips;
    CTrayIcon m_tray;
    std::vector<SmartDialogs> m_smartDialogs;

    std::array<RowState, kMaxRows> m_rows{};
    int m_previousRows = 0;
    int m_driveCount = 0;  // records placed at the last layout refresh
    int m_smartDevices = 0;
    bool m_smartAvailable = false;
    std::atomic<bool> m_initialised{false};
    bool m_closing = false;
    bool m_firstShowing = false;  // the first show is under way
    std::atomic<bool> m_layoutBusy{false};
    std::atomic<bool> m_alert{false};
    std::atomic<bool> m_destroying{false};
    bool m_lastLayoutShrank = false;

    settings::SettingsWriter& m_settingsWriter;

    CLedWindowCommandSite m_commandSite{*this};
    std::unique_ptr<cmd::LedWindowCommands> m_commands;
};
