// lumetra-screenshot: writes what the X display ($DISPLAY) shows as a PNG
// file, for run.sh on a private Xvfb and for anyone who wants a picture of
// the windows without other tools.
//
//   lumetra-screenshot FILE.png
//
// Exit status: 0 written, 1 no display or the file cannot be written,
// 2 bad command line.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ui/backend.h"
#include "ui/image_file.h"

namespace {

constexpr const char* kUsage = "usage: lumetra-screenshot FILE.png\n";

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    // A file name that starts with '-' is given as ./-NAME.
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') {
            std::fprintf(stderr, "lumetra-screenshot: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        }
    }
    if (argc != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::fputs("lumetra-screenshot: no DISPLAY\n", stderr);
        return 1;
    }
    setenv("LUMETRA_UI_BACKEND", "x11", 1);
    const auto screen = plat::ui::CurrentBackend().CaptureScreen();
    int status = 0;
    if (!screen) {
        std::fprintf(stderr, "lumetra-screenshot: the display %s cannot be read\n", display);
        status = 1;
    } else if (!plat::ui::WritePng(argv[1], *screen)) {
        std::fprintf(stderr, "lumetra-screenshot: cannot write %s\n", argv[1]);
        status = 1;
    }
    plat::ui::ShutdownBackend();
    return status;
}
