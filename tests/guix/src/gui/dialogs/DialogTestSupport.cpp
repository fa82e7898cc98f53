#include "DialogTestSupport.h"

#include "resource/module.h"
#include "ui/dialog.h"
#include "ui/framework_app.h"
#include "ui/input.h"
#include "ui/modal_loop.h"

namespace dlgtest {

bool ScriptedSmart::ExecuteSelfTest(SmartDevice* device, DWORD type) {
    std::lock_guard lock(m_lock);
    m_requests.emplace_back("start " + std::to_string(type), device);
    m_released = false;
    return startResult;
}

bool ScriptedSmart::ReadSelfTestData(SmartDevice*, DWORD* seconds, BYTE* status) {
    std::unique_lock lock(m_lock);
    ++m_reads;
    m_waiting = true;
    m_more.wait(lock, [this] { return m_released || !m_script.empty(); });
    m_waiting = false;
    if (m_script.empty()) return false;
    const Read read = m_script.front();
    m_script.pop_front();
    if (!read.ok) return false;
    *seconds = read.seconds;
    *status = read.raw;
    return true;
}

bool ScriptedSmart::Waiting() const {
    std::lock_guard lock(m_lock);
    return m_waiting;
}

bool ScriptedSmart::AbortSelfTest(SmartDevice* device) {
    std::lock_guard lock(m_lock);
    ++m_aborts;
    m_requests.emplace_back("abort", device);
    m_released = true;
    m_more.notify_all();
    return true;
}

void ScriptedSmart::Script(std::vector<Read> reads) {
    std::lock_guard lock(m_lock);
    m_script.insert(m_script.end(), reads.begin(), reads.end());
    m_more.notify_all();
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
    plat::ui::SetModalShownHook(nullptr);
    UiTest::TearDown();
    AfxSetResourceHandle(nullptr);
    if (m_library) FreeLibrary(m_library);
}

void DialogTest::RecordBoxes() {
    plat::ui::SetModalShownHook([this](HWND box) {
        WCHAR text[1024];
        GetDlgItemTextW(box, 0xFFFF, text, 1024);
        m_boxes.push_back(text);
        plat::ui::InjectKey(VK_RETURN, true);
        plat::ui::InjectKey(VK_RETURN, false);
    });
}

std::uint32_t DialogTest::Shown(HWND window, int x, int y) {
    Pump();
    auto shown = Headless().Capture(window);
    if (!shown || !shown->InBounds(x, y)) return 0xFFFFFFFF;
    return uitest::Pixel(*shown, x, y);
}

}  // namespace dlgtest
