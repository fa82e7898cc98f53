#include "LUMEXGUIApp.h"

#include <cstdint>

#include "GuiLog.h"
#include "ProcessAffinity.h"
#include "base/last_error.h"
#include "SettingsStore.h"
#include "process/html_help.h"
#include "registry/registry.h"
#include "resource/module.h"
#include "ui/dialog.h"

namespace {

std::uintptr_t Number(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

}  // namespace

CLUMEXGUIApp::CLUMEXGUIApp(ResourceLibrarySearch search) : CWinApp(kProductName), m_search(std::move(search)) {}

CLUMEXGUIApp::~CLUMEXGUIApp() {
    if (m_hResources) FreeLibrary(m_hResources);
}

CLUMEXGUIApp* LumexApp() { return static_cast<CLUMEXGUIApp*>(AfxGetApp()); }

BOOL CLUMEXGUIApp::InitInstance() {
    gui::PinToLowestProcessor();
    gui::Log().ReadOptions(nullptr, HKEY_LOCAL_MACHINE, settings::kProductKey, 0);
    InitCommonControls();
    if (!CWinApp::InitInstance()) {
        gui::Fatal("CGAPP::CGAPP: CWinApp::InitInstance() returned err=%d", GetLastError());
        m_nExitCode = 1;
        return FALSE;
    }
    // ActiveX containment has no counterpart here: nothing to enable.
    gui::Trace("CGAPP::CGAPP: Loading ResDll...");
    m_hResources = LoadResourceLibrary();
    gui::Trace("CGAPP::CGAPP: Load ResDLL: %d\n", Number(m_hResources));
    if (!m_hResources) return StartFailed();
    AfxSetResourceHandle(m_hResources);

    m_pLedWindow = std::make_unique<CLUMEXGUIDlg>(m_settingsWriter);
    m_pMainWnd = m_pLedWindow.get();
    gui::Trace("CGAPP::CGAPP: -> LoadSettings()");
    GuiSettings stored;
    const int loaded = LoadSettings(stored);
    gui::Trace("CGAPP::CGAPP: (b=%d)", loaded);
    m_pLedWindow->m_Settings = stored;
    if (!m_pLedWindow->Create(CLUMEXGUIDlg::kTemplate)) {
        gui::Fatal("CGAPP::CGAPP: Cannot create the window from template %u (err=%d)", CLUMEXGUIDlg::kTemplate,
                   GetLastError());
        m_pMainWnd = nullptr;
        m_pLedWindow.reset();
        return StartFailed();
    }
    m_pLedWindow->SetWindowText(kProductName);
    gui::Trace("CGAPP::CGAPP: App started (hInstance == 0x%08X)", Number(m_hInstance));
    return TRUE;
}

BOOL CLUMEXGUIApp::StartFailed() {
    gui::Fatal("CGAPP::CGAPP: Cannot continue");
    gui::Trace("CGAPP::CGAPP: Releasing ResDll");
    if (m_hResources) FreeLibrary(m_hResources);
    m_hResources = nullptr;
    AfxSetResourceHandle(nullptr);
    gui::Trace("CGAPP::CGAPP: Releasing ResDll done");
    m_nExitCode = 1;
    return FALSE;
}

int CLUMEXGUIApp::ExitInstance() {
    if (m_pLedWindow) {
        const GuiSettings copy = m_pLedWindow->m_Settings;
        m_settingsWriter.Forget();
        SaveSettings(copy);
        m_pLedWindow->DestroyWindow();
        m_pMainWnd = nullptr;
        m_pLedWindow.reset();
    }
    if (m_hResources) {
        AfxSetResourceHandle(nullptr);
        FreeLibrary(m_hResources);
        m_hResources = nullptr;
    }
    gui::Trace("CGAPP::CGAPP: GUI exited (hInstance == 0x%08X)\n", Number(m_hInstance));
    gui::Log().Close();
    return CWinApp::ExitInstance();
}

int CLUMEXGUIApp::LoadSettings(GuiSettings& s) { return settings::LoadSettings(s, m_hResources); }

BOOL CLUMEXGUIApp::SaveSettings(const GuiSettings& s) { return m_settingsWriter.Save(s); }

HMODULE CLUMEXGUIApp::LoadResourceLibrary() { return ::LoadResourceLibrary(m_search); }

void CLUMEXGUIApp::OnHelp() {
    gui::Trace("USER: OnHelp()\n");
    ShowHelp();
}

void CLUMEXGUIApp::ShowHelp() {
    WCHAR topic[1024];
    LoadStringW(m_hResources, kHelpString, topic, 1024);
    gui::Trace("Calling HtmlHelp() (ENU)...");
    HtmlHelpW(nullptr, topic, HH_DISPLAY_TOPIC, 0);
    gui::Trace("HtmlHelp() returned");
}

BOOL CLUMEXGUIApp::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_F1) {
        ShowHelp();
        return TRUE;
    }
    return CWinApp::PreTranslateMessage(msg);
}
