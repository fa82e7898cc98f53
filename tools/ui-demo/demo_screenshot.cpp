#include "demo_screenshot.h"

#include <errno.h>  // program_invocation_short_name: ui-demo or skin-demo

#include <cstdio>

#include "ui/ui.h"
#include "ui/image_file.h"

namespace demo {

bool SaveScreenshot(HWND hwnd, const std::string& path) {
    GdiFlush();
    auto screen = plat::ui::CurrentBackend().CaptureScreen();
    if (!screen) {
        std::fprintf(stderr, "%s: the screen cannot be read back\n", program_invocation_short_name);
        return false;
    }
    RECT r;
    GetWindowRect(hwnd, &r);
    plat::ui::Bitmap crop(r.right - r.left, r.bottom - r.top, 32);
    for (int y = 0; y < crop.Height(); ++y)
        for (int x = 0; x < crop.Width(); ++x)
            if (screen->InBounds(r.left + x, r.top + y)) crop.Set(x, y, screen->Get(r.left + x, r.top + y));
    if (!plat::ui::WritePng(path, crop)) {
        std::fprintf(stderr, "%s: cannot write %s\n", program_invocation_short_name, path.c_str());
        return false;
    }
    std::printf("%s: screenshot written to %s\n", program_invocation_short_name, path.c_str());
    return true;
}

}  // namespace demo
