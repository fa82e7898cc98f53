#include "kernel/real/drive_letters.h"

#include <vector>

#include "base/text.h"
#include "registry/registry.h"

namespace kern::real {
namespace {

constexpr const char16_t* kMountedDevices = u"SYSTEM\\MountedDevices";

bool InPool(LetterPool pool, WCHAR letter) {
    switch (pool) {
        case LetterPool::Root: return letter == u'C';
        case LetterPool::Floppy: return letter == u'A' || letter == u'B';
        case LetterPool::Local:
        case LetterPool::Network: return letter >= u'D' && letter <= u'Z';
    }
    return false;
}

std::vector<WCHAR> PoolOrder(LetterPool pool) {
    std::vector<WCHAR> order;
    switch (pool) {
        case LetterPool::Root: order = {u'C'}; break;
        case LetterPool::Floppy: order = {u'A', u'B'}; break;
        case LetterPool::Local: for (WCHAR c = u'D'; c <= u'Z'; ++c) order.push_back(c); break;
        case LetterPool::Network: for (WCHAR c = u'Z'; c >= u'D'; --c) order.push_back(c); break;
    }
    return order;
}

// "X:" -> 'X'; 0 otherwise.
WCHAR LetterOf(std::u16string_view text) {
    while (!text.empty() && text.back() == 0) text.remove_suffix(1);
    if (text.size() != 2 || text[1] != u':') return 0;
    const WCHAR c = plat::AsciiToUpper(text[0]);
    return c >= u'A' && c <= u'Z' ? c : 0;
}

struct Key {
    HKEY key = nullptr;
    ~Key() {
        if (key) RegCloseKey(key);
    }
};

}  // namespace

WCHAR ChooseLetter(LetterPool pool, WCHAR stored, LetterMask in_use, LetterMask reserved) {
    if (pool == LetterPool::Root) return u'C';
    if (stored && InPool(pool, stored) && !(in_use & LetterBit(stored))) return stored;
    for (WCHAR c : PoolOrder(pool))
        if (!((in_use | reserved) & LetterBit(c))) return c;
    for (WCHAR c : PoolOrder(pool))
        if (!(in_use & LetterBit(c))) return c;
    return 0;
}

std::map<std::string, WCHAR> LetterStore::Load() const {
    std::map<std::string, WCHAR> letters;
    Key k;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMountedDevices, 0, KEY_READ, &k.key) != ERROR_SUCCESS) return letters;
    for (DWORD i = 0;; ++i) {
        WCHAR name[plat::kMaxValueNameChars + 1];
        DWORD name_chars = plat::kMaxValueNameChars + 1, type = 0;
        BYTE data[64];
        DWORD size = sizeof data;
        const LONG result = RegEnumValueW(k.key, i, name, &name_chars, nullptr, &type, data, &size);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        const WCHAR letter = LetterOf({reinterpret_cast<const char16_t*>(data), size / sizeof(WCHAR)});
        if (letter) letters[plat::Utf16ToUtf8(std::u16string_view(name, name_chars))] = letter;
    }
    return letters;
}

bool LetterStore::Store(const std::string& identity, WCHAR letter) const {
    Key k;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kMountedDevices, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &k.key, nullptr) != ERROR_SUCCESS)
        return false;
    for (const auto& [other, held] : Load())
        if (held == letter && other != identity) RegDeleteValueW(k.key, plat::Utf8ToUtf16(other).c_str());
    const std::u16string text = std::u16string(1, letter) + u":";
    return RegSetValueExW(k.key, plat::Utf8ToUtf16(identity).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), DWORD((text.size() + 1) * sizeof(WCHAR))) ==
           ERROR_SUCCESS;
}

}  // namespace kern::real
