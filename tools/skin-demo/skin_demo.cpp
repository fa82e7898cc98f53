// skin-demo: the skin engine as a person sees it. A skinned dialog with
// every kind of skinned control (buttons, toggles, a caption over a
// button, a scrolling label, a progress bar, a tint slider), built from the
// records and images of the demo's resource library SKINDEMO.DLL beside
// the program. Snapping and auto-hide are on: drag the window to an edge
// of the screen and it docks there, then slides out of sight until the
// mouse comes back to the strip it leaves. Esc or the cross closes it.
//
//   skin-demo [--screenshot FILE] [--seconds N] [--tint INDEX] [--at X Y]
//
// --screenshot saves what the screen shows of the window once drawn, then
// exits; --seconds exits after N seconds; --tint starts with a colour index
// (0 to 100); --at places the window (default: centred on the work area).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "../ui-demo/demo_screenshot.h"
#include "base/text.h"
#include "demo_ids.h"
#include "demo_skin_dialog.h"
#include "resource/module.h"
#include "ui/framework_app.h"
#include "ui/ui.h"

namespace {

struct Options {
    std::string screenshot;
    int seconds = 0;
    int tint = 0;
    bool placed = false;
    POINT at{};
};

constexpr const char* kUsage = "usage: skin-demo [--screenshot FILE] [--seconds N] [--tint 0-100] [--at X Y]\n";

// Nothing when the command line is good, else the argument it refuses.
std::optional<std::string> ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc) o->screenshot = argv[++i];
        else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) o->seconds = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--tint") && i + 1 < argc) o->tint = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--at") && i + 2 < argc) {
            o->at = POINT{std::atoi(argv[i + 1]), std::atoi(argv[i + 2])};
            o->placed = true;
            i += 2;
        } else return argv[i];
    }
    if (o->tint < 0 || o->tint > 100) return "--tint " + std::to_string(o->tint);
    return std::nullopt;
}

// Ends the program from the message loop: after N seconds, or once the
// window has been drawn and photographed.
class Stopper : public CWnd {
public:
    Stopper(const Options& options, CWnd& window) : m_options(options), m_window(window) {}
    BOOL Create() { return CreateEx(0, nullptr, u"", WS_POPUP, RECT{0, 0, 1, 1}, nullptr, 0); }
    void ShootLater() { PostMessage(kShoot); }
    LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override {
        if (message != kShoot) return CWnd::WindowProc(message, wp, lp);
        UpdateWindow(m_window.m_hWnd);
        demo::SaveScreenshot(m_window.m_hWnd, m_options.screenshot);
        m_window.DestroyWindow();
        return 0;
    }
    void OnTimer(UINT_PTR) override { m_window.DestroyWindow(); }

private:
    static constexpr UINT kShoot = WM_APP + 1;
    const Options& m_options;
    CWnd& m_window;
};

class DemoApp : public CWinApp {
public:
    explicit DemoApp(const Options& options) : CWinApp(u"skin-demo"), m_options(options) {}

    BOOL InitInstance() override {
        m_resources = LoadLibraryW(skindemo::kResourceLibrary);
        if (!m_resources) {
            std::fprintf(stderr, "skin-demo: cannot load %s (error %u)\n",
                         plat::Utf16ToUtf8(skindemo::kResourceLibrary).c_str(), GetLastError());
            m_nExitCode = 1;
            return FALSE;
        }
        AfxSetResourceHandle(m_resources);
        if (!m_dialog.Create() || !m_stopper.Create()) {
            std::fprintf(stderr, "skin-demo: cannot create the window (error %u)\n", GetLastError());
            m_nExitCode = 1;
            return FALSE;
        }
        m_pMainWnd = &m_dialog;
        Place();
        SetWindowPos(m_dialog.m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        m_dialog.ShowWindow(SW_SHOW);
        if (m_options.seconds > 0) m_stopper.SetTimer(1, UINT(m_options.seconds) * 1000);
        if (!m_options.screenshot.empty()) m_stopper.ShootLater();
        return TRUE;
    }

    int ExitInstance() override {
        m_stopper.DestroyWindow();
        m_dialog.DestroyWindow();
        if (m_resources) FreeLibrary(m_resources);
        return CWinApp::ExitInstance();
    }

private:
    void Place() {
        RECT r, work = plat::ui::PrimaryWorkArea();
        GetWindowRect(m_dialog.m_hWnd, &r);
        const POINT at = m_options.placed ? m_options.at
                                          : POINT{(work.left + work.right - (r.right - r.left)) / 2,
                                                  (work.top + work.bottom - (r.bottom - r.top)) / 2};
        SetWindowPos(m_dialog.m_hWnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    const Options& m_options;
    HMODULE m_resources = nullptr;
    skindemo::DemoSkinDialog m_dialog{m_options.tint};
    Stopper m_stopper{m_options, m_dialog};
};

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    Options options;
    if (const auto refused = ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "skin-demo: cannot use %s\n%s", refused->c_str(), kUsage);
        return 2;
    }
    std::printf("skin-demo: %s backend\n", plat::ui::BackendName().c_str());
    std::fflush(stdout);
    int result;
    {
        DemoApp app(options);
        result = AfxWinMain();
    }
    plat::ui::ShutdownBackend();
    return result;
}
