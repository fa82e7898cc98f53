// CSMARTDetailDialog: the S.M.A.R.T. details of one drive in a small skinned
// window (template 103): identity, manufacture date, power-on time,
// start/stop cycles, amounts read and written, error counters and
// temperature, and a text report of the same with the attribute table.
//
// The LED window makes one hidden object per S.M.A.R.T. drive, gives it the
// drive's record and the Fahrenheit setting and opens it when the user asks
// for the details; closing destroys the window and keeps the object, which
// can be opened again. The lines are made when the window opens, from a
// consistent copy of the record (taken through the client when one is
// given), so an open dialog shows the drive as it was then. The dialog sends
// no requests.
//
// Threads: the GUI thread only.
#pragma once

#include <string>

#include "Settings.h"
#include "skin/SkinDialog.h"
#include "smart/SmartRecords.h"

class CSmartMarshalingClient;

class CSMARTDetailDialog : public CSkinDialog {
public:
    static constexpr UINT kTemplate = 103;
    static constexpr UINT kMenu = 179;
    static constexpr UINT kCmdSaveReport = 180;

    // `owner` is the LED window: the dialog's parent and the target of its
    // minimise and restore commands. `settings` is its live settings block
    // (Alpha, TransparencyAvailable). `client`, when given, is the
    // S.M.A.R.T. client whose records the dialog reads.
    CSMARTDetailDialog(CWnd* owner, GuiSettings& settings, const CSmartMarshalingClient* client = nullptr);
    ~CSMARTDetailDialog() override;

    void SetDevice(const SmartDevice* device) { m_pDevice = device; }
    const SmartDevice* Device() const { return m_pDevice; }
    void SetFahrenheit(DWORD flag) { m_fahrenheit = flag; }
    DWORD Fahrenheit() const { return m_fahrenheit; }

    // Creates the window (shown); FALSE when it is open already or cannot
    // be created.
    BOOL Open();
    bool IsOpen() const { return m_hWnd != nullptr; }
    // Destroys the window; the object stays.
    void Close();

    BOOL OnInitDialog() override;
    void OnSkinButton(const std::u16string& name) override;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* ui) override;
    // Enter does nothing; Escape closes, as the close button does.
    void OnOK() override {}
    void OnCancel() override { Close(); }

    // Asks for a file and writes the report (see DetailReport.h); FALSE when
    // cancelled or failed (the error box was shown).
    BOOL SaveReport();

protected:
    void OnContextMenu(HWND hwnd, POINT point) override;

private:
    // The record as it is now (a zero record without a device).
    SmartDevice Snapshot() const;

    CWnd* m_pOwner;
    GuiSettings& m_settings;
    const CSmartMarshalingClient* m_pClient;
    const SmartDevice* m_pDevice = nullptr;
    DWORD m_fahrenheit = 0;
};
