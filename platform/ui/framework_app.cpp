#include "ui/session_end.h"
#include "ui/framework_app.h"

#include "resource/module.h"
#include "ui/message_queue.h"

namespace {

CWinApp* g_app = nullptr;
HINSTANCE g_resources = nullptr;

}  // namespace

CWinApp::CWinApp(LPCWSTR app_name) : m_hInstance(GetModuleHandleW(nullptr)) {
    if (app_name) m_strAppName = app_name;
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWinApp::PumpMessage() {
    MSG msg;
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
        m_nExitCode = int(msg.wParam);
        return FALSE;
    }
    if (!AfxPreTranslateMessage(&msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return TRUE;
}

int CWinApp::Run() {
    while (PumpMessage()) {
    }
    return ExitInstance();
}

BOOL AfxPreTranslateMessage(MSG* msg) {
    for (HWND hwnd = msg->hwnd; hwnd; hwnd = GetParent(hwnd)) {
        if (CWnd* wnd = CWnd::FromHandlePermanent(hwnd); wnd && wnd->PreTranslateMessage(msg)) return TRUE;
        if (!(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) break;
    }
    return g_app && g_app->PreTranslateMessage(msg);
}

void AfxPumpWaitingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(int(msg.wParam));  // leave it for the loop that owns it
            return;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

CWinApp* AfxGetApp() { return g_app; }
HINSTANCE AfxGetInstanceHandle() { return g_app ? g_app->m_hInstance : GetModuleHandleW(nullptr); }
HINSTANCE AfxGetResourceHandle() { return g_resources ? g_resources : AfxGetInstanceHandle(); }
void AfxSetResourceHandle(HINSTANCE instance) { g_resources = instance; }

int AfxWinMain() {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    if (!app->InitInstance()) return app->ExitInstance();
    plat::ui::EndSessionOnSignals();  // a signal closes the windows as a log-off would
    return app->Run();
}
