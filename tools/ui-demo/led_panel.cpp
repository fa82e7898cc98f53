#include "led_panel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "base/text.h"
#include "demo_ids.h"
#include "demo_text.h"
#include "ui/framework_app.h"
#include "ui/message_box.h"
#include "ui/popup_menu.h"
#include "ui/resource_images.h"
#include "ui/ui.h"

namespace demo {
namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 96;
constexpr int kLeds = 8;
constexpr UINT_PTR kBlinkTimer = 1;

COLORREF Mix(COLORREF a, COLORREF b, double t) {
    auto ch = [&](int s) { return BYTE(((a >> s) & 255) * (1 - t) + ((b >> s) & 255) * t); };
    return RGB(ch(0), ch(8), ch(16));
}

void Fill(HDC dc, RECT r, COLORREF c) {
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
}

// Four LED looks (read, write, both, idle) as one 32-bit strip with alpha.
HIMAGELIST MakeLeds() {
    constexpr int size = 22;
    const COLORREF looks[] = {RGB(60, 230, 80), RGB(240, 70, 50), RGB(250, 200, 40), RGB(40, 60, 50)};
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = size * 4;
    bi.bmiHeader.biHeight = -size;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP strip = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* px = static_cast<std::uint32_t*>(bits);
    for (int i = 0; i < 4; ++i) {
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const double dx = x + 0.5 - size / 2.0, dy = y + 0.5 - size / 2.0;
                const double d = std::sqrt(dx * dx + dy * dy);
                const double a = std::clamp(size / 2.0 - d, 0.0, 1.0);  // anti-aliased rim
                const double light = std::clamp(1.2 - std::hypot(dx + 3, dy + 3) / size, 0.3, 1.0);
                const COLORREF c = Mix(RGB(0, 0, 0), looks[i], light);
                const auto pm = [&](int s) { return std::uint32_t(((c >> s) & 255) * a); };  // premultiplied
                px[y * size * 4 + i * size + x] = (std::uint32_t(a * 255) << 24) | (pm(0) << 16) | (pm(8) << 8) | pm(16);
            }
        }
    }
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 4, 0);
    ImageList_Add(list, strip, nullptr);
    DeleteObject(strip);
    return list;
}

void DrawLabel(HDC dc, const char16_t* text, RECT r, COLORREF colour, HFONT font, UINT flags) {
    SelectObject(dc, font);
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text, -1, &r, flags | DT_SINGLELINE | DT_NOPREFIX);
}

HFONT Font(int height, LONG weight) {
    LOGFONTW lf;
    lf.lfHeight = height;
    lf.lfWeight = weight;
    plat::CopyToField(lf.lfFaceName, LF_FACESIZE, u"DejaVu Sans");
    return CreateFontIndirectW(&lf);
}

// 0 (slow) to 100 (fast) as the blink timer's period.
UINT BlinkPeriodMs(int speed) { return UINT(40 + (100 - std::clamp(speed, 0, 100)) * 3); }

}  // namespace

LedPanel::LedPanel(bool scroll_lock) : m_scrollLock(scroll_lock) {
    m_settings.onSpeed = [this](int speed) { SetSpeed(speed); };
}

LedPanel::~LedPanel() {
    m_tray.RemoveIcon();
    if (m_icon) DestroyIcon(m_icon);
    if (m_leds) ImageList_Destroy(m_leds);
    if (m_title) DeleteObject(m_title);
    if (m_small) DeleteObject(m_small);
}

BOOL LedPanel::Create() {
    const std::u16string title = LoadText(IDS_TITLE);
    const RECT work = plat::ui::PrimaryWorkArea();
    const RECT place{work.right - kWidth - 40, work.top + 40, work.right - 40, work.top + 40 + kHeight};
    if (!CreateEx(WS_EX_TOOLWINDOW, nullptr, title.c_str(), WS_POPUP, place, nullptr, 0)) return FALSE;
    SetWindowRgn(m_hWnd, CreateRoundRectRgn(0, 0, kWidth, kHeight, 28, 28), FALSE);
    SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(SW_SHOW);
    return TRUE;
}

int LedPanel::OnCreate(CREATESTRUCTW*) {
    m_title = Font(-16, FW_BOLD);
    m_small = Font(-11, FW_NORMAL);
    m_leds = MakeLeds();
    SetTimer(kBlinkTimer, BlinkPeriodMs(m_speed));
    m_icon = LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDI_APP));
    m_tray.Create(this, WM_TRAY_ICON, LoadText(IDS_TITLE).c_str(), m_icon, IDR_PANEL_MENU, ID_RESTORE);
    return 0;
}

LRESULT LedPanel::WindowProc(UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_TRAY_ICON) return m_tray.OnTrayNotification(wp, lp);
    return CWnd::WindowProc(message, wp, lp);
}

void LedPanel::Draw(HDC dc) {
    for (int y = 0; y < kHeight; ++y)
        Fill(dc, RECT{0, y, kWidth, y + 1}, Mix(RGB(70, 90, 120), RGB(18, 24, 36), y / double(kHeight)));
    Fill(dc, RECT{0, 0, kWidth, 2}, RGB(150, 180, 220));
    DrawLabel(dc, u"Zelmor Lumetra", RECT{18, 6, 300, 30}, RGB(235, 240, 250), m_title, DT_LEFT | DT_VCENTER);
    DrawLabel(dc, u"ui-demo", RECT{300, 6, kWidth - 18, 30}, RGB(150, 170, 200), m_small, DT_RIGHT | DT_VCENTER);
    for (int i = 0; i < kLeds; ++i) {
        const int x = 18 + i * 32, y = 40;
        const unsigned bits = (m_frame * 7 + unsigned(i) * 13) % 11;
        const int look = bits < 2 ? 0 : bits < 3 ? 1 : bits < 4 ? 2 : 3;
        ImageList_Draw(m_leds, look, dc, x, y, ILD_NORMAL);
        const char16_t letter[2] = {char16_t(u'C' + i), 0};
        DrawLabel(dc, letter, RECT{x, y + 22, x + 22, y + 40}, RGB(200, 210, 230), m_small, DT_CENTER | DT_VCENTER);
    }
    RECT box{290, 40, kWidth - 18, 78};
    Fill(dc, box, RGB(20, 60, 40));
    FrameRect(dc, &box, reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    DrawLabel(dc, u"38°C", box, RGB(120, 240, 150), m_title, DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS);
}

// Draws into a memory bitmap and copies it in one go, as the LED panel does.
void LedPanel::Repaint() {
    HDC target = ::GetDC(m_hWnd);
    HDC mem = CreateCompatibleDC(target);
    HBITMAP bm = CreateCompatibleBitmap(target, kWidth, kHeight);
    HGDIOBJ old = SelectObject(mem, bm);
    Draw(mem);
    BitBlt(target, 0, 0, kWidth, kHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bm);
    DeleteDC(mem);
    ::ReleaseDC(m_hWnd, target);
}

void LedPanel::OnPaint() {
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);
    EndPaint(m_hWnd, &ps);
    Repaint();
}

void LedPanel::OnTimer(UINT_PTR id) {
    if (id != kBlinkTimer) return;
    ++m_frame;
    Repaint();
    if (m_scrollLock && ((GetKeyState(VK_SCROLL) & 1) != int(m_frame % 2))) {
        keybd_event(VK_SCROLL, 0x46, 0, 0);
        keybd_event(VK_SCROLL, 0x46, KEYEVENTF_KEYUP, 0);
    }
}

void LedPanel::OnLButtonDown(UINT, POINT point) {
    ClientToScreen(m_hWnd, &point);
    PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
}

void LedPanel::OnKeyDown(UINT key, UINT, UINT) {
    if (key == VK_ESCAPE) DestroyWindow();
}

void LedPanel::OnContextMenu(HWND, POINT point) {
    HMENU bar = LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_PANEL_MENU));
    if (!bar) return;
    SetForegroundWindow(m_hWnd);
    TrackPopupMenu(GetSubMenu(bar, 0), TPM_RIGHTBUTTON, point.x, point.y, 0, m_hWnd, nullptr);
    DestroyMenu(bar);
}

void LedPanel::OpenMenu() {
    RECT r;
    ::GetWindowRect(m_hWnd, &r);
    OnContextMenu(m_hWnd, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

void LedPanel::OpenSettings() { m_settings.Open(m_speed); }

void LedPanel::SetSpeed(int speed) {
    m_speed = speed;
    SetTimer(kBlinkTimer, BlinkPeriodMs(speed));
}

void LedPanel::OnToggleTop() {
    m_onTop = !m_onTop;
    SetWindowPos(m_hWnd, m_onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void LedPanel::OnAbout() {
    MessageBoxW(m_hWnd, LoadText(IDS_ABOUT).c_str(), LoadText(IDS_TITLE).c_str(), MB_OK | MB_TOPMOST);
}

BOOL LedPanel::OnCmdMsg(UINT id, int code, CCmdUI* ui) {
    static constexpr CommandRoute<LedPanel> routes[] = {
        {ID_SETTINGS, &LedPanel::OnSettings, nullptr},
        {ID_ON_TOP, &LedPanel::OnToggleTop, &LedPanel::OnUpdateTop},
        {ID_ABOUT, &LedPanel::OnAbout, nullptr},
        {ID_EXIT, &LedPanel::OnExit, nullptr},
        {ID_HIDE, &LedPanel::OnHide, nullptr},
        {ID_RESTORE, &LedPanel::OnRestore, nullptr},
    };
    return RouteCommand(this, routes, id, code, ui) || CWnd::OnCmdMsg(id, code, ui);
}

}  // namespace demo
