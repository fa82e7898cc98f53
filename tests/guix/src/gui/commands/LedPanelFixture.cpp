#include "LedPanelFixture.h"

#include "base/text.h"
#include "commands/CommandIds.h"
#include "process/create_process.h"
#include "resource/module.h"
#include "ui/framework_app.h"
#include "ui/input.h"
#include "ui/modal_loop.h"
#include "ui/resource_images.h"

namespace cmdtest {
namespace {
constexpr int kPanelWidth = 400;
}  // namespace

BOOL PanelUnderTest::OnCmdMsg(UINT id, int code, CCmdUI* ui) {
    if (commands && code == CN_UPDATE_COMMAND_UI && commands->OnUpdateCommand(ui)) return TRUE;
    if (commands && code == CN_COMMAND && commands->OnCommand(id)) return TRUE;
    return CSkinDialog::OnCmdMsg(id, code, ui);
}

LRESULT PanelUnderTest::WindowProc(UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_INITMENUPOPUP && lp == 0)
        lastPopup = reinterpret_cast<HMENU>(wp);
    if (commands && commands->OnWindowMessage(message, wp, lp)) return 0;
    return CSkinDialog::WindowProc(message, wp, lp);
}

HICON FakeWindowOps::WindowIcon(UINT id) {
    HICON& icon = icons[id];
    if (!icon) icon = LoadIconW(resources, MAKEINTRESOURCEW(id));
    return icon;
}

CWnd* FakeWindowOps::WindowOf(const std::vector<FakeDialog>& list, int position) {
    const FakeDialog& d = list.at(std::size_t(position));
    return d.window && IsWindow(d.window->m_hWnd) ? d.window.get() : nullptr;
}

CWnd* FakeWindowOps::Open(FakeDialog& dialog, int position) {
    dialog.window = std::make_unique<CWnd>();
    const RECT r{400, 300 + 50 * position, 600, 340 + 50 * position};
    if (!dialog.window->CreateEx(0, nullptr, u"dialog", WS_POPUP | WS_VISIBLE, r, nullptr, 0)) return nullptr;
    return dialog.window.get();
}

CWnd* FakeWindowOps::OpenDetailsDialog(int position, const SmartDevice* device, BOOL fahrenheit) {
    FakeDialog& d = details.at(std::size_t(position));
    d.device = device;
    d.fahrenheit = fahrenheit;
    return Open(d, 0);
}

CWnd* FakeWindowOps::OpenSelfTestDialog(int position, cmd::SelfTestKind kind, int drive_index) {
    FakeDialog& d = selfTests.at(std::size_t(position));
    d.kind = kind;
    d.driveIndex = drive_index;
    return Open(d, position);
}

void LedPanelTest::SetUp() {
    UiTest::SetUp();
    m_ops.resources = LoadLibraryW(plat::Utf8ToUtf16(LUMEX_RESOURCES).c_str());
    ASSERT_NE(m_ops.resources, nullptr);
    AfxSetResourceHandle(m_ops.resources);
    plat::ui::SetTrayHost(m_tray);
    plat::process::SetLauncher(
        [this](const std::vector<std::string>& argv) {
            m_launched.push_back(argv);
            return DWORD(4242);
        },
        plat::process::Desktop{[](const std::string& name) { return name == "xdg-open" || name == "nm-connection-editor"; },
                               [](char letter) -> std::optional<std::string> {
                                   if (letter == 'C') return "/";
                                   return std::nullopt;
                               }});
    plat::ui::SetModalShownHook([this](HWND modal) {
        m_modals.push_back(modal);
        if (m_answers.empty()) {
            Keys({VK_ESCAPE});
            return;
        }
        auto answer = m_answers.front();
        m_answers.pop_front();
        answer(modal);
    });
    m_disk0.deviceType = 7;
    m_disk0.flags = SMART_FLAG_SUPPORTED;
    m_disk1.deviceType = 7;
    m_disk1.deviceNumber = 1;
    m_disk1.flags = SMART_FLAG_SUPPORTED | SMART_FLAG_SELFTEST;
    m_ops.details.resize(2);
    m_ops.selfTests.resize(2);
}

void LedPanelTest::TearDown() {
    plat::ui::SetModalShownHook(nullptr);
    plat::process::SetLauncher({});
    m_panel.commands = nullptr;
    m_commands.reset();
    m_ops.tray.RemoveIcon();
    for (auto* list : {&m_ops.details, &m_ops.selfTests})
        for (auto& d : *list)
            if (d.window) d.window->DestroyWindow();
    m_panel.DestroyWindow();
    plat::ui::SetTrayHost(nullptr);
    UiTest::TearDown();
    AfxSetResourceHandle(nullptr);
    FreeLibrary(m_ops.resources);
}

void LedPanelTest::Start() {
    ASSERT_TRUE(m_panel.Create());
    m_panel.LoadSkinBitmaps(211, 213, 214, 261, 212);
    m_panel.LoadSecondSkinBitmaps(271, 273, 274, 272, 297);
    m_panel.StretchSkin(kPanelWidth, m_panel.SkinHeight(), 60, 16);  // room for the scripted rows
    for (UINT record = 254; record <= 263; ++record) m_panel.AddAltButtonFromString(record);
    m_panel.AddSliderFromString(267, 281, 282);
    m_panel.AddSliderFromString(266, 283, 284);
    SetWindowPos(m_panel.m_hWnd, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    m_panel.ShowWindow(SW_SHOW);
    m_commands = std::make_unique<cmd::LedWindowCommands>(m_panel, m_ops, m_settings,
                                                         cmd::SystemFacts{u"C:\\WINDOWS\\system32\\", 5});
    m_panel.commands = m_commands.get();
    m_ops.tray.Create(&m_panel, cmd::kMsgTrayNotify, u"Zelmor Lumetra", m_ops.WindowIcon(cmd::kIconNormal),
                      cmd::kMenu, cmd::kRestoreFromTray);
    Pump();
}

POINT LedPanelTest::ScreenOf(POINT client) const {
    ClientToScreen(m_panel.m_hWnd, &client);
    return client;
}

void LedPanelTest::Answer(std::initializer_list<std::function<void(HWND)>> answers) {
    m_answers.assign(answers.begin(), answers.end());
}

void LedPanelTest::Keys(std::initializer_list<int> keys) {
    for (int vk : keys) {
        plat::ui::InjectKey(vk, true);
        plat::ui::InjectKey(vk, false);
    }
}

std::pair<bool, bool> LedPanelTest::ItemState(UINT id) const {
    const UINT state = GetMenuState(m_panel.lastPopup, id, MF_BYCOMMAND);
    return {(state & MF_CHECKED) != 0, (state & (MF_GRAYED | MF_DISABLED)) == 0};
}

cmd::RowView LedPanelTest::DiskRow(const SmartDevice* device, int left, std::vector<cmd::LetterView> letters) {
    cmd::RowView row;
    row.box = {left, 4, left + 24, 28};
    row.smartArea = {left + 60, 4, left + 100, 28};
    row.device = device;
    if (device) {
        row.smartType = device->deviceType;
        row.smartSelfTest = (device->flags & SMART_FLAG_SELFTEST) != 0;
    }
    row.firstRecordType = letters.empty() ? std::nullopt : std::optional<DWORD>(letters.front().deviceType);
    row.letters = std::move(letters);
    return row;
}

}  // namespace cmdtest
