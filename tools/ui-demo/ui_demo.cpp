// ui-demo: a shaped, skinned-looking, always-on-top panel drawn with the
// platform window system, so a person can see the layer work on X11.
//
//   ui-demo [--screenshot FILE] [--seconds N] [--scroll-lock]
//
// Drag the panel with the left button; Esc or a right click closes it.
// --screenshot saves what the screen shows of the panel once it has been
// drawn, then exits; --seconds exits after N seconds; --scroll-lock mirrors
// the blinking LEDs on the keyboard's Scroll Lock light.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/text.h"
#include "ui/image_file.h"
#include "ui/ui.h"

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 96;
constexpr int kLeds = 8;
constexpr UINT_PTR kBlinkTimer = 1;
constexpr UINT_PTR kQuitTimer = 2;

struct Demo {
    std::string screenshot;
    bool scrollLock = false;
    unsigned frame = 0;
    HFONT title = nullptr;
    HFONT small = nullptr;
    HIMAGELIST leds = nullptr;
} g;

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

void DrawText(HDC dc, const char16_t* text, RECT r, COLORREF colour, HFONT font, UINT flags) {
    SelectObject(dc, font);
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text, -1, &r, flags | DT_SINGLELINE | DT_NOPREFIX);
}

void DrawPanel(HDC dc) {
    for (int y = 0; y < kHeight; ++y) Fill(dc, RECT{0, y, kWidth, y + 1}, Mix(RGB(70, 90, 120), RGB(18, 24, 36), y / double(kHeight)));
    Fill(dc, RECT{0, 0, kWidth, 2}, RGB(150, 180, 220));
    DrawText(dc, u"Zelmor Lumetra", RECT{18, 6, 300, 30}, RGB(235, 240, 250), g.title, DT_LEFT | DT_VCENTER);
    DrawText(dc, u"ui-demo", RECT{300, 6, kWidth - 18, 30}, RGB(150, 170, 200), g.small, DT_RIGHT | DT_VCENTER);
    for (int i = 0; i < kLeds; ++i) {
        const int x = 18 + i * 32, y = 40;
        const unsigned bits = (g.frame * 7 + unsigned(i) * 13) % 11;
        const int look = bits < 2 ? 0 : bits < 3 ? 1 : bits < 4 ? 2 : 3;
        ImageList_Draw(g.leds, look, dc, x, y, ILD_NORMAL);
        const char16_t letter[2] = {char16_t(u'C' + i), 0};
        DrawText(dc, letter, RECT{x, y + 22, x + 22, y + 40}, RGB(200, 210, 230), g.small, DT_CENTER | DT_VCENTER);
    }
    RECT box{290, 40, kWidth - 18, 78};
    Fill(dc, box, RGB(20, 60, 40));
    FrameRect(dc, &box, reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    DrawText(dc, u"38°C", box, RGB(120, 240, 150), g.title, DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS);
}

// Draws into a memory bitmap and copies it in one go, as the LED panel does.
void Repaint(HWND hwnd, HDC target) {
    HDC mem = CreateCompatibleDC(target);
    HBITMAP bm = CreateCompatibleBitmap(target, kWidth, kHeight);
    HGDIOBJ old = SelectObject(mem, bm);
    DrawPanel(mem);
    BitBlt(target, 0, 0, kWidth, kHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bm);
    DeleteDC(mem);
    (void)hwnd;
}

void SaveScreenshot(HWND hwnd) {
    GdiFlush();
    auto screen = plat::ui::CurrentBackend().CaptureScreen();
    RECT r;
    GetWindowRect(hwnd, &r);
    if (!screen) {
        std::fprintf(stderr, "ui-demo: the screen cannot be read back\n");
        return;
    }
    plat::ui::Bitmap crop(kWidth, kHeight, 32);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (screen->InBounds(r.left + x, r.top + y)) crop.Set(x, y, screen->Get(r.left + x, r.top + y));
    if (plat::ui::WritePng(g.screenshot, crop)) std::printf("ui-demo: screenshot written to %s\n", g.screenshot.c_str());
    else std::fprintf(stderr, "ui-demo: cannot write %s\n", g.screenshot.c_str());
}

LRESULT Proc(HWND hwnd, UINT m, WPARAM wp, LPARAM lp) {
    switch (m) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            Repaint(hwnd, dc);
            EndPaint(hwnd, &ps);
            if (!g.screenshot.empty()) {
                SaveScreenshot(hwnd);
                DestroyWindow(hwnd);
            }
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        case WM_TIMER:
            if (wp == kQuitTimer) {
                DestroyWindow(hwnd);
            } else {
                ++g.frame;
                HDC dc = GetDC(hwnd);
                Repaint(hwnd, dc);
                ReleaseDC(hwnd, dc);
                if (g.scrollLock && ((GetKeyState(VK_SCROLL) & 1) != (g.frame % 2))) {
                    keybd_event(VK_SCROLL, 0x46, 0, 0);
                    keybd_event(VK_SCROLL, 0x46, KEYEVENTF_KEYUP, 0);
                }
            }
            return 0;
        case WM_LBUTTONDOWN: {
            POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            ClientToScreen(hwnd, &p);
            PostMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(p.x, p.y));
            return 0;
        }
        case WM_KEYDOWN:
            if (wp == VK_ESCAPE) DestroyWindow(hwnd);
            return 0;
        case WM_CONTEXTMENU: DestroyWindow(hwnd); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcW(hwnd, m, wp, lp);
    }
}

HFONT Font(int height, LONG weight) {
    LOGFONTW lf;
    lf.lfHeight = height;
    lf.lfWeight = weight;
    plat::CopyToField(lf.lfFaceName, LF_FACESIZE, u"DejaVu Sans");
    return CreateFontIndirectW(&lf);
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 0;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc) g.screenshot = argv[++i];
        else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--scroll-lock")) g.scrollLock = true;
        else {
            std::fprintf(stderr, "usage: ui-demo [--screenshot FILE] [--seconds N] [--scroll-lock]\n");
            return 2;
        }
    }
    std::printf("ui-demo: %s backend\n", plat::ui::BackendName().c_str());
    g.title = Font(-16, FW_BOLD);
    g.small = Font(-11, FW_NORMAL);
    g.leds = MakeLeds();

    WNDCLASSEXW wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Proc;
    wc.lpszClassName = u"LumetraUiDemo";
    RegisterClassExW(&wc);
    const RECT work = plat::ui::PrimaryWorkArea();
    HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, u"LumetraUiDemo", u"Zelmor Lumetra ui-demo", WS_POPUP,
                                work.right - kWidth - 40, work.top + 40, kWidth, kHeight, nullptr, nullptr, nullptr, nullptr);
    if (!hwnd) {
        std::fprintf(stderr, "ui-demo: cannot create the window (error %u)\n", GetLastError());
        return 1;
    }
    SetWindowRgn(hwnd, CreateRoundRectRgn(0, 0, kWidth, kHeight, 28, 28), FALSE);
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(hwnd, SW_SHOW);
    SetTimer(hwnd, kBlinkTimer, 100, nullptr);
    if (seconds > 0) SetTimer(hwnd, kQuitTimer, UINT(seconds) * 1000, nullptr);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    plat::ui::ShutdownBackend();
    return 0;
}
