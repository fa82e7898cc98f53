// The framework's application object: one per process, made by the program
// as a global or in main. AfxWinMain runs InitInstance, then the message
// loop until WM_QUIT (posted when the main window is destroyed), then
// ExitInstance, whose result is the exit code. From the loop's start the
// session's end (SIGTERM, SIGINT, SIGHUP, a lost display) reaches the
// windows as on Windows (session_end.h).
//
// The loop offers every message first to the PreTranslateMessage of the
// framework windows from its target up to the top-level window (dialogs turn
// Enter and Esc into IDOK and IDCANCEL there), then to the application.
#pragma once

#include <string>

#include "ui/framework_wnd.h"

class CWinApp {
public:
    explicit CWinApp(LPCWSTR app_name = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return m_nExitCode; }
    virtual int Run();
    virtual BOOL PreTranslateMessage(MSG* msg);

    // One message: waits for it, pre-translates and dispatches it. FALSE on WM_QUIT.
    BOOL PumpMessage();

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    std::u16string m_strAppName;
    int m_nExitCode = 0;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE instance);
int AfxWinMain();
// Dispatches what is queued for this thread without waiting (tests, idle work).
void AfxPumpWaitingMessages();
// The framework windows' and the application's pre-translation of one message.
BOOL AfxPreTranslateMessage(MSG* msg);
