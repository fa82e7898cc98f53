// CLog::ReadOptions: configures the GUI's log from its registry values.
#include <unistd.h>

#include <algorithm>

#include "base/hresult.h"
#include "base/win_errors.h"
#include "log/Diagnostics.h"
#include "log/Log.h"
#include "registry/registry.h"

namespace {

// The value "__LogNoEncrypt_@@__" must hold to get a plain-text file.
constexpr DWORD kPlainTextMagic = 5826;

class OptionKey {
public:
    OptionKey(HKEY root, const WCHAR* path) {
        if (RegOpenKeyExW(root, path, 0, KEY_READ, &m_key) != ERROR_SUCCESS) m_key = nullptr;
    }
    ~OptionKey() {
        if (m_key) RegCloseKey(m_key);
    }
    OptionKey(const OptionKey&) = delete;
    OptionKey& operator=(const OptionKey&) = delete;

    // A missing or unreadable number counts as 0.
    DWORD Number(const WCHAR* name) const {
        DWORD type = 0, value = 0, size = sizeof value;
        if (!m_key || RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof value) {
            return 0;
        }
        return value;
    }

    // A missing or unreadable string counts as empty; it ends at its first NUL.
    std::u16string Text(const WCHAR* name) const {
        DWORD type = 0, size = 0;
        if (!m_key || RegQueryValueExW(m_key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ)) {
            return {};
        }
        std::u16string text(size / sizeof(WCHAR), u'\0');
        if (RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS) {
            return {};
        }
        text.resize(std::min<std::size_t>(text.size(), size / sizeof(WCHAR)));
        return text.substr(0, text.find(u'\0'));
    }

private:
    HKEY m_key = nullptr;
};

}  // namespace

HRESULT CLog::ReadOptions(void* module, HKEY root, const WCHAR* key_path, BYTE scramble_count) {
    if (!root || !key_path || !*key_path) return E_INVALIDARG;
    std::lock_guard guard(m_lock);
    const HRESULT hr = Init(u"XXX", FALSE, 0, TRUE);
    if (FAILED(hr)) return hr;

    const OptionKey key(root, key_path);
    const LONG level = static_cast<LONG>(key.Number(u"__LogLevel__"));
    const DWORD to_file = key.Number(u"__LogToFile__");
    const std::u16string path = key.Text(u"__LogFile__");
    const bool plain_text = key.Number(u"__LogNoEncrypt_@@__") == kPlainTextMagic;

    SetFlush(key.Number(u"__NoFlush__") == 1 ? FALSE : TRUE);
    if (key.Number(u"__OpenConsole__") == 1) SetConsole(STDOUT_FILENO, TRUE);
    if (level != 0) SetLevel(level);
    if (to_file != 0 && !path.empty()) {
        const int index = plain_text ? kTextOutput : kBinaryOutput;
        const BYTE count = plain_text || scramble_count ? scramble_count : kDefaultScrambleCount;
        if (!OpenFile(path.c_str(), index, TRUE, count)) return S_OK;
    }
    DumpDiagnostics(this, module, diagnostics::kDumpSystem, 5);
    return S_OK;
}
