#include "commands/AutostartValue.h"

#include "commands/CommandIds.h"
#include "process/autostart.h"
#include "registry/registry.h"
#include "resource/module.h"

namespace cmd {
namespace {

// The Run key opened with full access, created when it cannot be opened.
HKEY OpenRunKey(bool create) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) return key;
    if (create && RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr) == ERROR_SUCCESS)
        return key;
    return nullptr;
}

}  // namespace

bool IsAutostartRegistered(const std::u16string& value_name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    const LONG result = RegQueryValueExW(key, value_name.c_str(), nullptr, &type, nullptr, &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool RegisterAutostart(const std::u16string& value_name, const std::u16string& program_path) {
    HKEY key = OpenRunKey(true);
    if (!key) return false;
    const LONG result = RegSetValueExW(key, value_name.c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(program_path.data()),
                                       DWORD(program_path.size() * sizeof(WCHAR)));
    RegCloseKey(key);
    plat::process::MirrorAutostart();
    return result == ERROR_SUCCESS;
}

bool UnregisterAutostart(const std::u16string& value_name) {
    HKEY key = OpenRunKey(false);
    if (!key) return false;
    const LONG result = RegDeleteValueW(key, value_name.c_str());
    RegCloseKey(key);
    plat::process::MirrorAutostart();
    return result == ERROR_SUCCESS;
}

std::u16string AutostartValueName(HMODULE resources) {
    WCHAR text[256] = {};
    const int length = LoadStringW(resources, kAutostartValueName, text, int(std::size(text)));
    return std::u16string(text, std::size_t(length > 0 ? length : 0));
}

std::u16string ProgramPath() {
    WCHAR path[4096] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
    return std::u16string(path, length);
}

}  // namespace cmd
