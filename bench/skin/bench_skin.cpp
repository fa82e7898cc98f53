// bench_skin: what the skin engine costs. Building the window region of a
// 600 x 60 mask (once per skin load or stretch), tinting a 600 x 60 image
// (once per colour index), drawing the background from the tint cache
// (every paint), and one slide out of sight and back of the demo's
// 320 x 100 skin, whose 1 ms pauses are part of it. Runs on the backend in
// force: X11 when DISPLAY is set, headless otherwise.
//
//   bench_skin [seconds per figure]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "base/format.h"
#include "resource/module.h"
#include "skin/Skin.h"
#include "skin/SkinDock.h"
#include "skin/SkinRegion.h"
#include "ui/framework_app.h"

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds per run of `work`, repeated for about `budget` seconds.
double MsPerRun(double budget, const std::function<void()>& work) {
    int runs = 0;
    const auto start = Clock::now();
    do {
        work();
        ++runs;
    } while (std::chrono::duration<double>(Clock::now() - start).count() < budget);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / runs;
}

// A rounded 600 x 60 mask with a notch every 40 pixels: many short runs.
skin::PixelImage Mask() {
    skin::PixelImage mask(600, 60);
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x) {
            const bool corner = (x < 8 || x >= 592) && (y < 8 || y >= 52);
            const bool notch = x % 40 < 3 && y < 4;
            mask.At(x, y) = corner || notch ? 0xFFFFFF : 0x000000;
        }
    return mask;
}

skin::PixelImage Face() {
    skin::PixelImage face(600, 60);
    for (int y = 0; y < face.height; ++y)
        for (int x = 0; x < face.width; ++x) {
            const std::uint32_t g = std::uint32_t(60 + y * 2 + (x % 7));
            face.At(x, y) = x % 50 == 0 ? 0x20A040 : (g << 16 | g << 8 | g);
        }
    return face;
}

// The demo's skin, with its slides reachable.
class BenchDialog : public CSkinDialog {
public:
    BenchDialog() : CSkinDialog(500) {}
    ~BenchDialog() override { DestroyWindow(); }
    using CSkinDialog::SlideIn;
    using CSkinDialog::SlideOut;
};

void Report(const char* what, double ms, const char* goal) { std::printf("%-44s %9.3f ms   (goal %s)\n", what, ms, goal); }

}  // namespace

int main(int argc, char** argv) {
    const double budget = argc > 1 ? std::atof(argv[1]) : 1.0;
    std::printf("bench_skin: %s backend\n", plat::ui::BackendName().c_str());

    const skin::PixelImage mask = Mask();
    Report("region of a 600 x 60 mask", MsPerRun(budget, [&] { skin::RegionFromPixels(mask); }), "< 5 ms, per load");
    skin::PixelImage face = Face();
    int index = 1;
    Report("tint of a 600 x 60 image", MsPerRun(budget, [&] {
               skin::PixelImage copy = face;
               skin::TintPixels(copy, index = index % 100 + 1);
           }),
           "< 10 ms, per index");

    HMODULE library = LoadLibraryW(plat::resource::WindowsPath(SKIN_DEMO_LIBRARY).c_str());
    if (!library) {
        std::fprintf(stderr, "bench_skin: cannot load %s\n", SKIN_DEMO_LIBRARY);
        return 1;
    }
    AfxSetResourceHandle(library);
    {
        BenchDialog dialog;
        if (!dialog.Create()) return 1;
        dialog.LoadSkinBitmaps(201, 202, 203, 204, 205);
        SetWindowPos(dialog.m_hWnd, nullptr, 0, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        dialog.ShowWindow(SW_SHOW);
        AfxPumpWaitingMessages();

        skin::MemoryDC memory(CreateBitmap(320, 100, 1, 32, nullptr));
        dialog.SetColorIndex(40);
        Report("background from the tint cache", MsPerRun(budget, [&] { dialog.DrawBackground(memory.Get()); }),
               "< 0.2 ms, per paint");
        Report("background with the cache rebuilt", MsPerRun(budget, [&] {
                   dialog.SetColorIndex(index = index % 100 + 1);
                   dialog.DrawBackground(memory.Get());
               }),
               "< 10 ms, per index");
        DeleteObject(GetCurrentObject(memory.Get(), OBJ_BITMAP));

        dialog.EnableSnap(TRUE);
        SetWindowPos(dialog.m_hWnd, nullptr, 5, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        RECT docked{};
        GetWindowRect(dialog.m_hWnd, &docked);
        const auto out_steps = skin::SlideOutSteps(docked, skin::kEdgeLeft, 320, 100);
        const auto in_steps = skin::SlideInSteps(out_steps.back(), skin::kEdgeLeft, 320, 100);
        double out = 0, in = 0;
        int slides = 0;
        const auto start = Clock::now();
        do {
            auto t0 = Clock::now();
            dialog.SlideOut();
            auto t1 = Clock::now();
            dialog.SlideIn();
            out += std::chrono::duration<double, std::milli>(t1 - t0).count();
            in += std::chrono::duration<double, std::milli>(Clock::now() - t1).count();
            ++slides;
        } while (std::chrono::duration<double>(Clock::now() - start).count() < budget);
        const std::string out_label = plat::Format("slide out of sight at the left (%zu steps)", out_steps.size());
        const std::string in_label = plat::Format("slide back in (%zu steps)", in_steps.size());
        Report(out_label.c_str(), out / slides, "well under 100 ms");
        Report(in_label.c_str(), in / slides, "well under 100 ms");
    }
    AfxSetResourceHandle(nullptr);
    FreeLibrary(library);
    plat::ui::ShutdownBackend();
    return 0;
}
