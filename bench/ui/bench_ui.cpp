// bench_ui: full repaints of a 600 x 60 panel into a memory bitmap (skin
// background, 20 LEDs from an image list, their letters and a label) and
// their presentation through a window DC, per second. Runs on the backend
// in force: X11 when DISPLAY is set, headless otherwise.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "base/text.h"
#include "ui/ui.h"

namespace {

constexpr int kWidth = 600;
constexpr int kHeight = 60;
constexpr int kLeds = 20;

using Clock = std::chrono::steady_clock;

HIMAGELIST Leds() {
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 4 * 20;
    bi.bmiHeader.biHeight = -16;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP strip = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* px = static_cast<std::uint32_t*>(bits);
    for (int i = 0; i < 4 * 20 * 16; ++i) px[i] = 0x00206020u + std::uint32_t((i % 80) / 20) * 0x00300000u;
    HIMAGELIST list = ImageList_Create(20, 16, ILC_COLOR32 | ILC_MASK, 4, 0);
    ImageList_Add(list, strip, nullptr);
    DeleteObject(strip);
    return list;
}

void Paint(HDC mem, HIMAGELIST leds, HFONT font, unsigned frame) {
    for (int y = 0; y < kHeight; ++y) {
        HBRUSH b = CreateSolidBrush(RGB(40 + y, 50 + y, 70 + y));
        RECT row{0, y, kWidth, y + 1};
        FillRect(mem, &row, b);
        DeleteObject(b);
    }
    SelectObject(mem, font);
    SetBkMode(mem, TRANSPARENT);
    SetTextColor(mem, RGB(0xFF, 0xFF, 0xFE));
    for (int i = 0; i < kLeds; ++i) {
        const int x = 10 + i * 24;
        ImageList_Draw(leds, int((frame + unsigned(i)) % 4), mem, x, 20, ILD_NORMAL);
        const char16_t letter[2] = {char16_t(u'A' + i), 0};
        RECT box{x - 2, 20, x + 20, 31};
        DrawTextW(mem, letter, 1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    RECT label{500, 5, 595, 55};
    DrawTextW(mem, u"38°C", -1, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    const double budget = argc > 1 ? std::atof(argv[1]) : 2.0;
    WNDCLASSEXW wc;
    wc.lpfnWndProc = &DefWindowProcW;
    wc.lpszClassName = u"BenchUi";
    RegisterClassExW(&wc);
    HWND hwnd = CreateWindowExW(0, u"BenchUi", u"bench_ui", WS_POPUP | WS_VISIBLE, 20, 20, kWidth, kHeight, nullptr,
                                nullptr, nullptr, nullptr);
    LOGFONTW lf;
    lf.lfHeight = -10;
    lf.lfWeight = FW_BOLD;
    plat::CopyToField(lf.lfFaceName, LF_FACESIZE, u"DejaVu Sans");
    HFONT font = CreateFontIndirectW(&lf);
    HIMAGELIST leds = Leds();
    HDC screen = GetDC(hwnd);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
    SelectObject(mem, bitmap);
    ReleaseDC(hwnd, screen);

    Clock::duration painting{}, presenting{};
    unsigned frames = 0;
    const auto start = Clock::now();
    while (Seconds(Clock::now() - start) < budget) {
        const auto t0 = Clock::now();
        Paint(mem, leds, font, frames);
        const auto t1 = Clock::now();
        HDC dc = GetDC(hwnd);
        BitBlt(dc, 0, 0, kWidth, kHeight, mem, 0, 0, SRCCOPY);
        ReleaseDC(hwnd, dc);
        const auto t2 = Clock::now();
        painting += t1 - t0;
        presenting += t2 - t1;
        ++frames;
    }
    GdiFlush();
    const double total = Seconds(Clock::now() - start);
    std::printf("backend            %s\n", plat::ui::BackendName().c_str());
    std::printf("window             %d x %d\n", kWidth, kHeight);
    std::printf("frames             %u in %.2f s\n", frames, total);
    std::printf("full repaints/s    %.0f\n", frames / total);
    std::printf("paint per frame    %.1f us\n", Seconds(painting) * 1e6 / frames);
    std::printf("present per frame  %.1f us\n", Seconds(presenting) * 1e6 / frames);
    std::printf("cpu at 20 Hz       %.2f %% of one core\n", 20.0 * total / frames * 100.0);
    DeleteDC(mem);
    DeleteObject(bitmap);
    DestroyWindow(hwnd);
    plat::ui::ShutdownBackend();
    return 0;
}
