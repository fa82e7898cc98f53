#include "ui_test_support.h"

#include <cstdlib>

#include "base/format.h"
#include "base/text.h"

namespace uitest {
namespace {

// Chosen before anything asks for the backend.
const bool g_headless = setenv("LUMETRA_UI_BACKEND", "headless", 1) == 0;

std::mutex g_mutex;
std::vector<Seen> g_seen;
std::map<HWND, Handler> g_handlers;


ATOM ClassFor(UINT style) {
    static std::map<UINT, ATOM> atoms;
    std::lock_guard lock(g_mutex);
    auto it = atoms.find(style);
    if (it != atoms.end()) return it->second;
    WNDCLASSEXW wc;
    wc.style = style;
    wc.lpfnWndProc = &UiTest::Proc;
    wc.cbWndExtra = 16;
    wc.hbrBackground = CreateSolidBrush(RGB(10, 20, 30));
    const std::u16string name = plat::Utf8ToUtf16(plat::Format("LumetraTest%x", style));
    wc.lpszClassName = name.c_str();
    const ATOM atom = RegisterClassExW(&wc);
    atoms[style] = atom;
    return atom;
}

}  // namespace

LRESULT UiTest::Proc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    Handler handler;
    {
        std::lock_guard lock(g_mutex);
        g_seen.push_back(Seen{hwnd, message, wp, lp});
        auto it = g_handlers.find(hwnd);
        if (it != g_handlers.end()) handler = it->second;
    }
    if (handler) {
        if (auto result = handler(hwnd, message, wp, lp)) return *result;
    }
    return DefWindowProcW(hwnd, message, wp, lp);
}

LPCWSTR UiTest::TestClass() {
    return reinterpret_cast<LPCWSTR>(std::uintptr_t(ClassFor(0)));
}

void UiTest::SetUp() {
    ASSERT_TRUE(g_headless);
    ASSERT_NE(plat::ui::Headless(), nullptr) << "the tests need the headless backend";
    ClearSeen();
}

void UiTest::TearDown() {
    for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it)
        if (IsWindow(*it)) DestroyWindow(*it);
    Pump();
    {
        std::lock_guard lock(g_mutex);
        g_handlers.clear();
    }
    plat::ui::ResetInput();
    Headless().SetMonitors({plat::ui::MonitorDesc{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}, true}});
    Headless().SetOpacitySupported(true);
    Headless().SetScrollLock(false);
}

HWND UiTest::Make(DWORD style, RECT r, HWND parent, DWORD ex_style, UINT class_style) {
    const ATOM atom = ClassFor(class_style);
    HWND h = CreateWindowExW(ex_style, reinterpret_cast<LPCWSTR>(std::uintptr_t(atom)), u"test", style, r.left, r.top,
                             r.right - r.left, r.bottom - r.top, parent, nullptr, nullptr, nullptr);
    EXPECT_NE(h, nullptr);
    m_windows.push_back(h);
    return h;
}

void UiTest::On(HWND hwnd, Handler handler) {
    std::lock_guard lock(g_mutex);
    g_handlers[hwnd] = std::move(handler);
}

void UiTest::Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::vector<Seen> UiTest::SeenOf(UINT message, HWND hwnd) {
    std::lock_guard lock(g_mutex);
    std::vector<Seen> out;
    for (const Seen& s : g_seen)
        if (s.message == message && (!hwnd || s.hwnd == hwnd)) out.push_back(s);
    return out;
}

std::vector<UINT> UiTest::Sequence(HWND hwnd) {
    std::lock_guard lock(g_mutex);
    std::vector<UINT> out;
    for (const Seen& s : g_seen)
        if (s.hwnd == hwnd) out.push_back(s.message);
    return out;
}

void UiTest::ClearSeen() {
    std::lock_guard lock(g_mutex);
    g_seen.clear();
}

plat::ui::HeadlessBackend& UiTest::Headless() { return *plat::ui::Headless(); }

std::uint32_t Pixel(const plat::ui::Bitmap& b, int x, int y) { return b.Get(x, y) & 0xFFFFFF; }

void Click(POINT screen) {
    plat::ui::InjectMouseMove(screen);
    plat::ui::InjectMouseButton(plat::ui::MouseButton::Left, true);
    plat::ui::InjectMouseButton(plat::ui::MouseButton::Left, false);
}

void PressKey(int vk) {
    plat::ui::InjectKey(vk, true);
    plat::ui::InjectKey(vk, false);
}

void TypeText(std::u16string_view text) {
    for (char16_t c : text) {
        if (c >= u'a' && c <= u'z') PressKey(c - u'a' + 'A');
        else if (c >= u'0' && c <= u'9') PressKey(c);
        else plat::ui::InjectChar(c);
    }
}

POINT CentreOf(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace uitest
