// CLUMEXGUIApp: the application object of lumex. It pins the process to
// one processor, configures the GUI log, loads the resource library (which
// then supplies every resource of the program), creates the LED window with
// the stored settings, and at exit stores the settings and releases all of
// it. It also opens the help (resource string 208) from the help command and
// from F1.
//
// The session's end (SIGTERM, SIGINT, SIGHUP or a lost display, through
// the platform's ui/session_end.h) closes the LED window as its exit
// command does, so the settings are stored and Scroll Lock goes off.
//
// A start that cannot go on ends the program with exit code 1: a missing or
// wrong resource library (after its error box), or an LED window that could
// not be created from template 102 (which would otherwise leave a message
// loop running with no window).
#pragma once

#include <memory>

#include "LUMEXGUIDlg.h"
#include "ResourceLibrary.h"
#include "Settings.h"
#include "SettingsStore.h"
#include "ui/framework_app.h"

class CLUMEXGUIApp : public CWinApp {
public:
    static constexpr const WCHAR* kProductName = u"Zelmor Lumetra";
    static constexpr UINT kHelpString = 208;

    explicit CLUMEXGUIApp(ResourceLibrarySearch search = {});
    ~CLUMEXGUIApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;
    BOOL PreTranslateMessage(MSG* msg) override;

    int LoadSettings(GuiSettings& s);
    // A save of what the last save stored writes nothing (SettingsWriter,
    // which the LED window saves through too); the save at exit always
    // writes.
    BOOL SaveSettings(const GuiSettings& s);
    HMODULE LoadResourceLibrary();

    // The help command (menu, help button) and the F1 path; only the
    // command writes its "USER:" line.
    void OnHelp();
    void ShowHelp();

    HMODULE ResourceLibrary() const { return m_hResources; }
    CLUMEXGUIDlg* LedWindow() const { return m_pLedWindow.get(); }

private:
    BOOL StartFailed();

    ResourceLibrarySearch m_search;
    HMODULE m_hResources = nullptr;
    settings::SettingsWriter m_settingsWriter;
    std::unique_ptr<CLUMEXGUIDlg> m_pLedWindow;
};

// The running application object.
CLUMEXGUIApp* LumexApp();
