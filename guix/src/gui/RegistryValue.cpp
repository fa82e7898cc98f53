#include "RegistryValue.h"

#include <vector>

namespace {

// One key opened for a single value, closed when it goes.
class ScopedKey {
public:
    ScopedKey(HKEY root, const WCHAR* path, REGSAM access, bool create) {
        const LONG result = create ? RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                                     &m_key, nullptr)
                                   : RegOpenKeyExW(root, path, 0, access, &m_key);
        if (result != ERROR_SUCCESS) m_key = nullptr;
    }
    ~ScopedKey() {
        if (m_key) RegCloseKey(m_key);
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

}  // namespace

REGSAM RegistryViewAccess(RegistryView view) {
    switch (view) {
        case RegistryView::Bits32: return KEY_WOW64_32KEY;
        case RegistryView::Bits64: return KEY_WOW64_64KEY;
        case RegistryView::Default: break;
    }
    return 0;
}

BOOL ReadRegistryNumber(HKEY root, const WCHAR* path, const WCHAR* name, DWORD& out, RegistryView view) {
    const ScopedKey key(root, path, KEY_READ | RegistryViewAccess(view), false);
    DWORD type = REG_NONE, value = 0, size = sizeof value;
    if (!key.get() || RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return FALSE;
    }
    out = value;
    return TRUE;
}

BOOL WriteRegistryNumber(HKEY root, const WCHAR* path, const WCHAR* name, DWORD value, RegistryView view) {
    const ScopedKey key(root, path, KEY_WRITE | RegistryViewAccess(view), true);
    return key.get() &&
           RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

BOOL ReadRegistryString(HKEY root, const WCHAR* path, const WCHAR* name, std::u16string& out, RegistryView view) {
    const ScopedKey key(root, path, KEY_READ | RegistryViewAccess(view), false);
    DWORD type = REG_NONE, size = 0;
    if (!key.get() || RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return FALSE;
    }
    std::vector<WCHAR> text(size / sizeof(WCHAR) + 1, u'\0');
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS) {
        return FALSE;
    }
    out.assign(text.data());
    return TRUE;
}

BOOL WriteRegistryString(HKEY root, const WCHAR* path, const WCHAR* name, const std::u16string& value, RegistryView view) {
    const ScopedKey key(root, path, KEY_WRITE | RegistryViewAccess(view), true);
    const DWORD bytes = DWORD((value.size() + 1) * sizeof(WCHAR));
    return key.get() &&
           RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}
