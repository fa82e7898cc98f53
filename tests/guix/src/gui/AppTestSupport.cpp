#include "AppTestSupport.h"

#include <cstdlib>

#include "ui/dialog.h"
#include "ui/framework_app.h"
#include "ui/headless/headless_backend.h"
#include "ui/input.h"
#include "ui/message_box.h"
#include "ui/modal_loop.h"
#include "ui/ui.h"

namespace apptest {

void AppTest::SetUp() { setenv("LUMETRA_UI_BACKEND", "headless", 1); }

void AppTest::TearDown() { plat::ui::SetModalShownHook(nullptr); }

void AppTest::SetValue(HKEY root, const WCHAR* path, const WCHAR* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

void AppTest::SetDword(HKEY root, const WCHAR* path, const WCHAR* name, DWORD value) {
    SetValue(root, path, name, REG_DWORD, &value, sizeof value);
}

void AppTest::SetString(HKEY root, const WCHAR* path, const WCHAR* name, const std::u16string& value) {
    SetValue(root, path, name, REG_SZ, value.c_str(), DWORD((value.size() + 1) * sizeof(WCHAR)));
}

std::optional<RawValue> AppTest::Value(HKEY root, const WCHAR* path, const WCHAR* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    RawValue value;
    DWORD size = 0;
    LONG result = RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        value.data.resize(size);
        result = RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size);
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return std::nullopt;
    return value;
}

void AppTest::RecordBoxes() {
    plat::ui::SetModalShownHook([this](HWND box) {
        WCHAR text[1024];
        ShownBox shown;
        GetWindowTextW(box, text, 1024);
        shown.caption = text;
        GetDlgItemTextW(box, 0xFFFF, text, 1024);
        shown.text = text;
        AfxPumpWaitingMessages();
        const auto pixels = plat::ui::Headless()->Capture(box);
        // The error icon is a red disc; its pixel beside the white bar.
        shown.errorIcon = pixels && (pixels->Get(12 + 16, 12 + 4) & 0xFFFFFF) == 0xC81E1Eu;
        m_boxes.push_back(shown);
        plat::ui::InjectKey(VK_RETURN, true);
        plat::ui::InjectKey(VK_RETURN, false);
    });
}

std::string LibraryDir(const std::string& name) { return std::string(TEST_LIBRARIES) + "/" + name; }

}  // namespace apptest
