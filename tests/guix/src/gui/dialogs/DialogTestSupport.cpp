#include "DialogTestSupport.h"

#include "resource/module.h"
#include "ui/framework_app.h"

namespace dlgtest {

bool ScriptedSmart::ExecuteSelfTest(SmartDevice* device, DWORD type) {
    std::lock_guard lock(m_lock);
    m_requests.emplace_back("start " + std::to_string(type), device);
    return startResult;
}

bool ScriptedSmart::ReadSelfTestData(SmartDevice*, DWORD* seconds, BYTE* status) {
    std::lock_guard lock(m_lock);
    ++m_reads;
    if (!m_script.empty()) {
        m_last = m_script.front();
        m_script.pop_front();
    }
    if (!m_last.ok) return false;
    *seconds = m_last.seconds;
    *status = m_last.raw;
    return true;
}

bool ScriptedSmart::AbortSelfTest(SmartDevice* device) {
    std::lock_guard lock(m_lock);
    ++m_aborts;
    m_requests.emplace_back("abort", device);
    return true;
}

void ScriptedSmart::Script(std::vector<Read> reads) {
    std::lock_guard lock(m_lock);
    m_script.assign(reads.begin(), reads.end());
}

std::vector<std::pair<std::string, const SmartDevice*>> ScriptedSmart::Requests() const {
    std::lock_guard lock(m_lock);
    return m_requests;
}

OwnerWindow::OwnerWindow() {
    CreateEx(0, uitest::UiTest::TestClass(), u"owner", WS_POPUP, RECT{0, 0, 50, 50}, nullptr, 0);
}

OwnerWindow::~OwnerWindow() { DestroyWindow(); }

BOOL OwnerWindow::OnCommand(WPARAM wp, LPARAM) {
    commands.push_back(LOWORD(DWORD(wp)));
    return TRUE;
}

void DialogTest::SetUp() {
    UiTest::SetUp();
    m_library = LoadLibraryW(plat::resource::WindowsPath(LUMEX_LIBRARY).c_str());
    ASSERT_NE(m_library, nullptr) << GetLastError();
    AfxSetResourceHandle(m_library);
}

void DialogTest::TearDown() {
    UiTest::TearDown();
    AfxSetResourceHandle(nullptr);
    if (m_library) FreeLibrary(m_library);
}

std::uint32_t DialogTest::Shown(HWND window, int x, int y) {
    Pump();
    auto shown = Headless().Capture(window);
    if (!shown || !shown->InBounds(x, y)) return 0xFFFFFFFF;
    return uitest::Pixel(*shown, x, y);
}

}  // namespace dlgtest
