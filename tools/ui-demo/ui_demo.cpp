// ui-demo: the platform window system as a person sees it. A shaped,
// skinned-looking, always-on-top LED panel; a right click opens its popup
// menu, whose Settings item opens a skinned dialog (owner-drawn buttons, a
// slider, tooltips, an animation) built entirely from the demo's resource
// library UIDEMORS.DLL beside the program.
//
//   ui-demo [--dialog | --menu] [--screenshot FILE] [--seconds N] [--scroll-lock]
//
// Drag the panel with the left button; Esc closes it. --dialog opens the
// settings dialog and --menu the popup menu at start; --screenshot saves
// what the screen shows of the panel (or of the dialog or menu) once drawn,
// then exits; --seconds exits after N seconds; --scroll-lock mirrors the
// blinking LEDs on the keyboard's Scroll Lock light.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "base/text.h"
#include "demo_ids.h"
#include "demo_screenshot.h"
#include "led_panel.h"
#include "resource/module.h"
#include "ui/framework_app.h"
#include "ui/input.h"
#include "ui/modal_loop.h"
#include "ui/ui.h"

namespace {

struct Options {
    std::string screenshot;
    int seconds = 0;
    bool scrollLock = false;
    bool dialog = false;
    bool menu = false;
};

constexpr const char* kUsage = "usage: ui-demo [--dialog | --menu] [--screenshot FILE] [--seconds N] [--scroll-lock]\n";

// Nothing when the command line is good, else the argument it refuses.
std::optional<std::string> ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc) o->screenshot = argv[++i];
        else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) o->seconds = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--scroll-lock")) o->scrollLock = true;
        else if (!std::strcmp(argv[i], "--dialog")) o->dialog = true;
        else if (!std::strcmp(argv[i], "--menu")) o->menu = true;
        else return argv[i];
    }
    if (o->dialog && o->menu) return "--dialog with --menu";
    return std::nullopt;
}

// Ends the program from the message loop: after N seconds, or once the
// window to photograph has been drawn.
class Stopper : public CWnd {
public:
    Stopper(const Options& options, demo::LedPanel& panel) : m_options(options), m_panel(panel) {}
    BOOL Create() { return CreateEx(0, nullptr, u"", WS_POPUP, RECT{0, 0, 1, 1}, nullptr, 0); }
    void ShootLater(HWND target) {
        m_target = target;
        UpdateWindow(target);
        PostMessage(kShoot);
    }
    LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override {
        if (message != kShoot) return CWnd::WindowProc(message, wp, lp);
        demo::SaveScreenshot(m_target, m_options.screenshot);
        m_panel.DestroyWindow();
        return 0;
    }
    void OnTimer(UINT_PTR) override { m_panel.DestroyWindow(); }

private:
    static constexpr UINT kShoot = WM_APP + 1;
    const Options& m_options;
    demo::LedPanel& m_panel;
    HWND m_target = nullptr;
};

class DemoApp : public CWinApp {
public:
    explicit DemoApp(const Options& options) : CWinApp(u"ui-demo"), m_options(options) {}

    BOOL InitInstance() override {
        m_resources = LoadLibraryW(demo::kResourceLibrary);
        if (!m_resources) {
            std::fprintf(stderr, "ui-demo: cannot load %s (error %u)\n",
                         plat::Utf16ToUtf8(demo::kResourceLibrary).c_str(), GetLastError());
            m_nExitCode = 1;
            return FALSE;
        }
        AfxSetResourceHandle(m_resources);
        if (!m_panel.Create() || !m_stopper.Create()) {
            std::fprintf(stderr, "ui-demo: cannot create the window (error %u)\n", GetLastError());
            m_nExitCode = 1;
            return FALSE;
        }
        m_pMainWnd = &m_panel;
        if (m_options.seconds > 0) m_stopper.SetTimer(1, UINT(m_options.seconds) * 1000);
        if (m_options.dialog) m_panel.OpenSettings();
        if (m_options.menu) PostMenu();
        else if (!m_options.screenshot.empty())
            m_stopper.ShootLater(m_options.dialog ? m_panel.Settings().m_hWnd : m_panel.m_hWnd);
        return TRUE;
    }

    int ExitInstance() override {
        plat::ui::SetModalShownHook(nullptr);
        m_stopper.DestroyWindow();
        if (m_resources) FreeLibrary(m_resources);
        return CWinApp::ExitInstance();
    }

private:
    // The menu runs its own loop, so it opens from the main loop; a
    // screenshot is taken once it shows, then Esc closes it.
    void PostMenu() {
        if (!m_options.screenshot.empty()) {
            plat::ui::SetModalShownHook([this](HWND menu) {
                UpdateWindow(menu);
                demo::SaveScreenshot(menu, m_options.screenshot);
                plat::ui::InjectKey(VK_ESCAPE, true);
                plat::ui::InjectKey(VK_ESCAPE, false);
                m_panel.PostMessage(WM_CLOSE);
            });
        }
        m_panel.PostMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_panel.m_hWnd), MAKELPARAM(-1, -1));
    }

    const Options& m_options;
    HMODULE m_resources = nullptr;
    demo::LedPanel m_panel{m_options.scrollLock};
    Stopper m_stopper{m_options, m_panel};
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
        std::fprintf(stderr, "ui-demo: cannot use %s\n%s", refused->c_str(), kUsage);
        return 2;
    }
    std::printf("ui-demo: %s backend\n", plat::ui::BackendName().c_str());
    std::fflush(stdout);
    int result;
    {
        DemoApp app(options);
        result = AfxWinMain();
    }
    plat::ui::ShutdownBackend();
    return result;
}
