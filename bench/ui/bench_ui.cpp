// bench_ui: the cost of the product's frame. A shaped top-level window with
// 17 owner-drawn child controls (a skinned dialog's buttons, labels,
// progress bars and slider) is repainted by a real 20 Hz timer, background
// first and then every control, as the LED window redraws, and a tooltip's
// text changes every frame. The CPU time comes from the process's own
// accounting (getrusage) over the run, beside the goal of 0.7 % of one core.
//   bench_ui [seconds]     (default 60)
// Runs on the backend in force: X11 when DISPLAY is set, headless otherwise.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/text.h"
#include "ui/dialog.h"
#include "ui/ui.h"

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 140;
constexpr int kControls = 17;
constexpr UINT kFrameMs = 50;
constexpr double kGoalPercent = 0.7;

struct Bench {
    HDC skin = nullptr;  // the dialog's face, the controls cut from it
    HBITMAP skinBitmap = nullptr;
    HFONT font = nullptr;
    HWND tooltip = nullptr;
    HWND controls[kControls] = {};
    unsigned frame = 0;
    unsigned frames = 0;
};
Bench g;

RECT ControlRect(int i) {
    const int col = i % 6, row = i / 6;
    return RECT{10 + col * 66, 12 + row * 40, 10 + col * 66 + 60, 12 + row * 40 + 30};
}

void MakeSkin(HDC reference) {
    g.skin = CreateCompatibleDC(reference);
    g.skinBitmap = CreateCompatibleBitmap(reference, kWidth, kHeight);
    SelectObject(g.skin, g.skinBitmap);
    for (int y = 0; y < kHeight; ++y) {
        HBRUSH b = CreateSolidBrush(RGB(40 + y / 2, 50 + y / 2, 70 + y / 2));
        RECT row{0, y, kWidth, y + 1};
        FillRect(g.skin, &row, b);
        DeleteObject(b);
    }
}

// A control draws its piece of the face and its text, as the skinned
// controls do through their memory bitmaps.
void DrawControl(const DRAWITEMSTRUCT& dis) {
    const int i = int(dis.CtlID) - 100;
    const RECT r = ControlRect(i);
    BitBlt(dis.hDC, 0, 0, r.right - r.left, r.bottom - r.top, g.skin, r.left, r.top, SRCCOPY);
    const bool lit = (g.frame + unsigned(i)) % 3 == 0;
    HBRUSH led = CreateSolidBrush(lit ? RGB(40, 230, 60) : RGB(20, 70, 30));
    RECT dot{4, 9, 16, 21};
    FillRect(dis.hDC, &dot, led);
    DeleteObject(led);
    SelectObject(dis.hDC, g.font);
    SetBkMode(dis.hDC, TRANSPARENT);
    SetTextColor(dis.hDC, RGB(0xF0, 0xF0, 0xF0));
    const char16_t text[3] = {char16_t(u'C' + i % 24), u':', 0};
    RECT box = dis.rcItem;
    box.left += 18;
    DrawTextW(dis.hDC, text, -1, &box, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
}

void Frame(HWND hwnd) {
    ++g.frame;
    ++g.frames;
    // The background, then every control after it.
    InvalidateRect(hwnd, nullptr, FALSE);
    for (HWND c : g.controls) InvalidateRect(c, nullptr, FALSE);
    std::u16string tip = u"Temperature " + plat::Utf8ToUtf16(std::to_string(30 + g.frame % 10)) + u" °C";
    TTTOOLINFOW info;
    info.hwnd = hwnd;
    info.uId = 1;
    info.lpszText = tip.data();
    SendMessageW(g.tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

LRESULT Proc(HWND hwnd, UINT m, WPARAM w, LPARAM l) {
    switch (m) {
        case WM_TIMER: Frame(hwnd); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            BitBlt(dc, 0, 0, kWidth, kHeight, g.skin, 0, 0, SRCCOPY);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_DRAWITEM: DrawControl(*reinterpret_cast<const DRAWITEMSTRUCT*>(l)); return TRUE;
    }
    return DefWindowProcW(hwnd, m, w, l);
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    InitCommonControls();
    WNDCLASSEXW wc;
    wc.lpfnWndProc = &Proc;
    wc.lpszClassName = u"BenchUi";
    RegisterClassExW(&wc);
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, u"BenchUi", u"bench_ui", WS_POPUP, 20, 20, kWidth,
                                kHeight, nullptr, nullptr, nullptr, nullptr);
    SetWindowRgn(hwnd, CreateRoundRectRgn(0, 0, kWidth + 1, kHeight + 1, 24, 24), FALSE);
    LOGFONTW lf;
    lf.lfHeight = -11;
    lf.lfWeight = FW_BOLD;
    plat::CopyToField(lf.lfFaceName, LF_FACESIZE, u"DejaVu Sans");
    g.font = CreateFontIndirectW(&lf);
    HDC screen = GetDC(hwnd);
    MakeSkin(screen);
    ReleaseDC(hwnd, screen);
    for (int i = 0; i < kControls; ++i) {
        const RECT r = ControlRect(i);
        g.controls[i] = CreateWindowExW(0, WC_BUTTON, u"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, r.left, r.top,
                                        r.right - r.left, r.bottom - r.top, hwnd,
                                        reinterpret_cast<HMENU>(std::uintptr_t(100 + i)), nullptr, nullptr);
    }
    g.tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, hwnd, nullptr, nullptr,
                                nullptr);
    TTTOOLINFOW tool;
    tool.hwnd = hwnd;
    tool.uId = 1;
    tool.rect = RECT{0, 0, kWidth, kHeight};
    tool.lpszText = const_cast<LPWSTR>(u"Temperature");
    SendMessageW(g.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);

    // Settle the first paint, then measure.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    SetTimer(hwnd, 1, kFrameMs, nullptr);
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    g.frames = 0;
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < seconds &&
           GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    GdiFlush();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuStart;
    std::printf("backend            %s\n", plat::ui::BackendName().c_str());
    std::printf("window             %d x %d, shaped, %d owner-drawn controls, a tooltip\n", kWidth, kHeight, kControls);
    std::printf("frames             %u in %.1f s (%.1f Hz)\n", g.frames, wall, g.frames / wall);
    std::printf("cpu per frame      %.1f us\n", g.frames ? cpu * 1e6 / g.frames : 0.0);
    std::printf("cpu                %.2f %% of one core (goal %.1f %%)\n", cpu / wall * 100.0, kGoalPercent);
    KillTimer(hwnd, 1);
    DestroyWindow(hwnd);
    DeleteDC(g.skin);
    DeleteObject(g.skinBitmap);
    DeleteObject(g.font);
    plat::ui::ShutdownBackend();
    return 0;
}
