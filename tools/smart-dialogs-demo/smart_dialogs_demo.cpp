// smart-dialogs-demo: the S.M.A.R.T. details dialog and the self-test dialog
// of the first drive a running sentrak reports, on the desktop.
//
//   smart-dialogs-demo [--port N] [--selftest short|extended] [--seconds N]
//
// LUMEXRS.DLL is loaded from beside the program. The details dialog opens
// at (40, 40); with --selftest the self-test dialog opens beside it and
// starts that test on the drive. --seconds ends the program after N seconds.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "SMARTDetailDialog.h"
#include "SMARTSelfTestDialog.h"
#include "Settings.h"
#include "SmartHandler.h"
#include "base/text.h"
#include "resource/module.h"
#include "ui/framework_app.h"
#include "ui/ui.h"

namespace {

struct Options {
    WORD port = 0;
    std::string selftest;
    int seconds = 0;
};

// Nothing when the command line is good, else the argument it refuses.
std::optional<std::string> ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--port") && i + 1 < argc) o->port = WORD(std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--selftest") && i + 1 < argc) o->selftest = argv[++i];
        else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) o->seconds = std::atoi(argv[++i]);
        else return argv[i];
    }
    if (!o->selftest.empty() && o->selftest != "short" && o->selftest != "extended") return o->selftest;
    return std::nullopt;
}

// Ends the program: after N seconds, or when the details dialog closes.
class Stopper : public CWnd {
public:
    BOOL Create() { return CreateEx(0, nullptr, u"", WS_POPUP, RECT{0, 0, 1, 1}, nullptr, 0); }
    void OnTimer(UINT_PTR) override { PostQuitMessage(0); }
};

class DemoApp : public CWinApp {
public:
    explicit DemoApp(const Options& options) : CWinApp(u"smart-dialogs-demo"), m_options(options) {}

    BOOL InitInstance() override {
        m_resources = LoadLibraryW(u"LUMEXRS.DLL");
        if (!m_resources) return Fail("cannot load LUMEXRS.DLL");
        AfxSetResourceHandle(m_resources);
        m_client = m_options.port ? std::make_unique<CSmartHandler>(nullptr, m_options.port)
                                  : std::make_unique<CSmartHandler>();
        m_client->Initialize();
        if (m_client->GetDeviceCount() == 0) return Fail("no S.M.A.R.T. drive (is sentrak running?)");
        SmartDevice* drive = m_client->GetDevice(0);
        m_details = std::make_unique<CSMARTDetailDialog>(nullptr, m_settings, m_client.get());
        m_details->SetDevice(drive);
        if (!m_details->Open() || !m_stopper.Create()) return Fail("cannot create the windows");
        SetWindowPos(m_details->m_hWnd, nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        m_pMainWnd = m_details.get();
        if (!m_options.selftest.empty()) {
            m_selftest = std::make_unique<CSMARTSelfTestDialog>(nullptr, m_settings, *m_client);
            m_selftest->SetDevice(drive);
            m_selftest->SetDriveIndex(0);
            m_selftest->SetExtendedTest(m_options.selftest == "extended");
            m_selftest->Open();
            SetWindowPos(m_selftest->m_hWnd, nullptr, 370, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        }
        if (m_options.seconds > 0) m_stopper.SetTimer(1, UINT(m_options.seconds) * 1000);
        return TRUE;
    }

    int ExitInstance() override {
        m_selftest.reset();
        m_details.reset();
        m_stopper.DestroyWindow();
        m_client.reset();
        if (m_resources) FreeLibrary(m_resources);
        return CWinApp::ExitInstance();
    }

private:
    BOOL Fail(const char* what) {
        std::fprintf(stderr, "smart-dialogs-demo: %s\n", what);
        m_nExitCode = 1;
        return FALSE;
    }

    const Options& m_options;
    HMODULE m_resources = nullptr;
    GuiSettings m_settings;
    std::unique_ptr<CSmartHandler> m_client;
    std::unique_ptr<CSMARTDetailDialog> m_details;
    std::unique_ptr<CSMARTSelfTestDialog> m_selftest;
    Stopper m_stopper;
};

constexpr const char* kUsage = "usage: smart-dialogs-demo [--port N] [--selftest short|extended] [--seconds N]\n";

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
        std::fprintf(stderr, "smart-dialogs-demo: cannot use %s\n%s", refused->c_str(), kUsage);
        return 2;
    }
    int result;
    {
        DemoApp app(options);
        result = AfxWinMain();
    }
    plat::ui::ShutdownBackend();
    return result;
}
