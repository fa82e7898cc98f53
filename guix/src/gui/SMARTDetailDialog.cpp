#include "SMARTDetailDialog.h"

#include "SmartDialogCommon.h"
#include "SmartMarshalingClient.h"

namespace {

// Skin images (face, mask, hover, pressed, disabled) and button records.
constexpr UINT kFace = 171, kMask = 175, kHover = 170, kPressed = 269, kDisabled = 173;
constexpr UINT kButtons[] = {156, 157, 200};

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

BOOL CSMARTDetailDialog::SaveReport() { return FALSE; }
