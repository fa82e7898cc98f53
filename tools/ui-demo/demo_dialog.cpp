#include "demo_dialog.h"

#include <string>

#include "base/format.h"
#include "base/text.h"
#include "demo_ids.h"
#include "demo_text.h"
#include "ui/framework_app.h"
#include "ui/resource_images.h"
#include "ui/ui.h"

namespace demo {
namespace {

constexpr int kTitleBand = 28;  // the skin's title band, where the dialog is dragged
constexpr COLORREF kLabelText = RGB(220, 230, 245);

void FillRounded(HDC dc, const RECT& r, COLORREF colour) {
    HRGN shape = CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1, 8, 8);
    HBRUSH brush = CreateSolidBrush(colour);
    FillRgn(dc, shape, brush);
    DeleteObject(brush);
    DeleteObject(shape);
}

HFONT TitleFont() {
    LOGFONTW lf;
    lf.lfHeight = -14;
    lf.lfWeight = FW_BOLD;
    plat::CopyToField(lf.lfFaceName, LF_FACESIZE, u"DejaVu Sans");
    return CreateFontIndirectW(&lf);
}

}  // namespace

void SkinButton::DrawItem(DRAWITEMSTRUCT* dis) {
    const UINT state = dis->itemState;
    const COLORREF face = state & ODS_DISABLED   ? RGB(70, 74, 82)
                          : state & ODS_SELECTED ? RGB(30, 60, 110)
                                                 : RGB(58, 100, 170);
    RECT r = dis->rcItem;
    FillRounded(dis->hDC, r, state & ODS_FOCUS ? RGB(150, 190, 240) : RGB(20, 28, 44));
    InflateRect(&r, -2, -2);
    FillRounded(dis->hDC, r, face);
    WCHAR text[64];
    GetWindowTextW(dis->hwndItem, text, 64);
    SetBkMode(dis->hDC, TRANSPARENT);
    SetTextColor(dis->hDC, state & ODS_DISABLED ? RGB(140, 144, 150) : RGB(245, 248, 255));
    if (state & ODS_SELECTED) OffsetRect(&r, 1, 1);
    DrawTextW(dis->hDC, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

SettingsDialog::SettingsDialog(CWnd* owner) : CDialog(IDD_SETTINGS, owner) {}

SettingsDialog::~SettingsDialog() {
    DestroyWindow();
    if (m_skin) DeleteObject(m_skin);
    if (m_titleFont) DeleteObject(m_titleFont);
    if (m_sliderBrush) DeleteObject(m_sliderBrush);
}

BOOL SettingsDialog::Open(int speed) {
    if (!m_hWnd && !Create()) return FALSE;
    m_kept = speed;
    m_speed.SetPos(speed);
    ShowSpeed(speed);
    RECT r, work = plat::ui::PrimaryWorkArea();
    ::GetWindowRect(m_hWnd, &r);
    SetWindowPos(m_hWnd, HWND_TOPMOST, (work.left + work.right - (r.right - r.left)) / 2,
                 (work.top + work.bottom - (r.bottom - r.top)) / 2, 0, 0, SWP_NOSIZE);
    ShowWindow(SW_SHOW);
    ::SetFocus(m_speed.m_hWnd);
    return TRUE;
}

BOOL SettingsDialog::OnInitDialog() {
    m_skin = LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDB_SKIN));
    m_titleFont = TitleFont();
    m_ok.SubclassDlgItem(IDOK, this);
    m_cancel.SubclassDlgItem(IDCANCEL, this);
    m_speed.SubclassDlgItem(IDC_SPEED, this);
    m_sliderBrush = SkinBrushUnder(m_speed.m_hWnd);
    m_platter.SubclassDlgItem(IDC_PLATTER, this);
    if (m_platter.Open(IDA_PLATTER)) m_platter.Play(0, UINT(-1), UINT(-1));
    m_tips.Create(this);
    AddTip(m_ok, IDS_TIP_OK);
    AddTip(m_cancel, IDS_TIP_CANCEL);
    AddTip(m_speed, IDS_TIP_SPEED);
    AddTip(m_platter, IDS_TIP_PLATTER);
    return TRUE;
}

void SettingsDialog::AddTip(CWnd& control, UINT text_id) {
    const std::u16string text = LoadText(text_id);
    m_tips.AddTool(&control, text.c_str());
}

void SettingsDialog::OnOK() {
    m_kept = m_speed.GetPos();
    if (onSpeed) onSpeed(m_kept);
    CDialog::OnOK();
}

void SettingsDialog::OnCancel() {
    m_speed.SetPos(m_kept);
    ShowSpeed(m_kept);
    if (onSpeed) onSpeed(m_kept);
    CDialog::OnCancel();
}

// The skin and the title in its band; the controls draw on top.
BOOL SettingsDialog::OnEraseBkgnd(HDC dc) {
    RECT client;
    GetClientRect(&client);
    BITMAP info{};
    if (m_skin && GetObjectW(m_skin, sizeof info, &info)) {
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, m_skin);
        StretchBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
    } else {
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));  // no skin: still a usable dialog
    }
    WCHAR title[64];
    GetWindowTextW(m_hWnd, title, 64);
    RECT band{14, 0, client.right - 14, kTitleBand};
    HGDIOBJ old_font = SelectObject(dc, m_titleFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(240, 244, 252));
    DrawTextW(dc, title, -1, &band, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old_font);
    return TRUE;
}

// Labels leave the skin showing around their text. The slider repaints
// itself as it moves and as it gains and loses the focus, so it fills its
// background with the skin's colour at its middle instead of leaving traces.
HBRUSH SettingsDialog::OnCtlColor(HDC dc, HWND control, UINT type) {
    if (!m_skin) return CDialog::OnCtlColor(dc, control, type);
    SetTextColor(dc, kLabelText);
    if (control == m_speed.m_hWnd && m_sliderBrush) return m_sliderBrush;
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

HBRUSH SettingsDialog::SkinBrushUnder(HWND control) const {
    RECT r;
    if (!m_skin || !::GetWindowRect(control, &r)) return nullptr;
    POINT middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ScreenToClient(m_hWnd, &middle);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, m_skin);
    const COLORREF colour = GetPixel(mem, middle.x, middle.y);
    SelectObject(mem, old);
    DeleteDC(mem);
    return CreateSolidBrush(colour);
}

void SettingsDialog::OnHScroll(UINT, UINT, HWND) {
    const int speed = m_speed.GetPos();
    ShowSpeed(speed);
    if (onSpeed) onSpeed(speed);
}

void SettingsDialog::ShowSpeed(int speed) {
    const std::u16string text = plat::Utf8ToUtf16(plat::Format("%d %%", speed));
    SetDlgItemTextW(m_hWnd, int(IDC_SPEED_VALUE), text.c_str());
    RepaintUnder(GetDlgItem(int(IDC_SPEED_VALUE)));
}

void SettingsDialog::RepaintUnder(HWND control) {
    RECT r;
    if (!control || !::GetWindowRect(control, &r)) return;
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    InvalidateRect(m_hWnd, &r, TRUE);
}

void SettingsDialog::OnLButtonDown(UINT, POINT point) {
    if (point.y >= kTitleBand) return;
    ClientToScreen(m_hWnd, &point);
    PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
}

BOOL SettingsDialog::PreTranslateMessage(MSG* msg) {
    if (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST) m_tips.RelayEvent(msg);
    return CDialog::PreTranslateMessage(msg);
}

}  // namespace demo
