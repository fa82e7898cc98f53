#include "SMARTDetailDialog.h"

#include "DetailLines.h"
#include "DetailReport.h"
#include "SmartDialogCommon.h"
#include "SmartMarshalingClient.h"
#include "base/clock.h"
#include "base/message_text.h"
#include "base/text.h"
#include "ui/message_box.h"
#include "ui/save_file_dialog.h"

namespace {

// Skin images (face, mask, hover, pressed, disabled) and button records.
constexpr UINT kFace = 171, kMask = 175, kHover = 170, kPressed = 269, kDisabled = 173;
constexpr UINT kButtons[] = {156, 157, 200};
constexpr UINT kSaveFilter = 204, kSaveFailed = 203, kErrorCaption = 152;

// A "|"-separated filter ("Text files|*.txt|All|*.*||") in the form of the
// save-file dialog, each part ended by a NUL.
std::u16string FilterOf(std::u16string filter) {
    for (char16_t& c : filter)
        if (c == u'|') c = u'\0';
    return filter + u'\0';
}

}  // namespace

CSMARTDetailDialog::CSMARTDetailDialog(CWnd* owner, GuiSettings& settings, const CSmartMarshalingClient* client)
    : CSkinDialog(kTemplate, owner), m_pOwner(owner), m_settings(settings), m_pClient(client) {}

// The window goes while this object's handlers still run.
CSMARTDetailDialog::~CSMARTDetailDialog() { Close(); }

BOOL CSMARTDetailDialog::Open() {
    if (IsOpen()) return FALSE;
    return Create(kTemplate, m_pOwner);
}

void CSMARTDetailDialog::Close() {
    if (m_hWnd) DestroyWindow();
}

SmartDevice CSMARTDetailDialog::Snapshot() const {
    if (!m_pDevice) return SmartDevice{};
    return m_pClient ? m_pClient->CopyRecord(*m_pDevice) : *m_pDevice;
}

BOOL CSMARTDetailDialog::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    smartdlg::ApplyAlpha(*this, m_settings);
    LoadSkinBitmaps(kFace, kMask, kHover, kPressed, kDisabled);
    for (UINT record : kButtons) AddButtonFromString(record, 0, 0);
    for (const details::DetailLine& line : details::MakeDetailLines(Snapshot(), m_fahrenheit != 0))
        AddLabel(line.Label());
    return TRUE;
}

void CSMARTDetailDialog::OnSkinButton(const std::u16string& name) {
    if (name == u"BUTTON_EXIT")
        Close();
    else if (name == u"BUTTON_MINIMIZE")
        smartdlg::RunOwnerCommand(m_pOwner, smartdlg::kOwnerMinimiseToTray);
    else if (name == u"BUTTON_SAVE")
        SaveReport();
}

BOOL CSMARTDetailDialog::OnCmdMsg(UINT id, int code, CCmdUI* ui) {
    if (code != CN_COMMAND) return CSkinDialog::OnCmdMsg(id, code, ui);
    if (smartdlg::RunSharedCommand(m_pOwner, id)) return TRUE;
    switch (id) {
    case kCmdSaveReport: SaveReport(); return TRUE;
    case smartdlg::kCmdClose: Close(); return TRUE;
    default: return CSkinDialog::OnCmdMsg(id, code, ui);
    }
}

void CSMARTDetailDialog::OnContextMenu(HWND, POINT point) { smartdlg::ShowContextMenu(*this, kMenu, point); }

BOOL CSMARTDetailDialog::SaveReport() {
    WCHAR path[1024] = {};
    plat::CopyToField(path, std::size(path), details::kReportFileName);
    const std::u16string filter = FilterOf(smartdlg::LoadText(kSaveFilter));
    OPENFILENAMEW ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = path;
    ofn.nMaxFile = DWORD(std::size(path));
    ofn.lpstrDefExt = details::kReportExtension;
    ofn.Flags = OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameW(&ofn)) return FALSE;

    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const std::u16string report =
        details::ReportText(Snapshot(), m_fahrenheit != 0, details::ReportStamp(now));
    const DWORD error = details::WriteReportFile(plat::Utf16ToUtf8(path), report);
    if (error == ERROR_SUCCESS) return TRUE;
    ShowSaveError(error);
    return FALSE;
}

void CSMARTDetailDialog::ShowSaveError(DWORD error) {
    std::u16string text = smartdlg::LoadText(kSaveFailed);
    if (error != ERROR_SUCCESS) text += u"\n\n" + SystemMessageText(error);
    MessageBoxW(m_hWnd, text.c_str(), smartdlg::LoadText(kErrorCaption).c_str(), MB_OK | MB_ICONERROR);
}
