// Registry values the programs read, as another version, a user or a
// damaged store may have left them: every value of the wrong type and of
// every size. An input is a run of values, each a byte choosing the value,
// a byte giving its type, a little-endian u16 length and the data; then the
// GUI loads its settings and its log options and the service loads its
// history, as they do at start.
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

#include "SettingsStore.h"
#include "engine/DeviceNode.h"
#include "engine/HistoryStore.h"
#include "log/Log.h"
#include "registry/registry.h"
#include "registry/scoped_root.h"

namespace {

struct StoredValue {
    HKEY root;
    const char16_t* key;
    const char16_t* name;
};

constexpr const char16_t* kProduct = u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1";
constexpr const char16_t* kSettings = u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1\\Settings";
constexpr const char16_t* kHistory = u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1\\Smart";

const StoredValue kValues[] = {
    {HKEY_CURRENT_USER, kSettings, u"size"},
    {HKEY_CURRENT_USER, kSettings, u"bin"},
    {HKEY_CURRENT_USER, kSettings, u"Placement"},
    {HKEY_CURRENT_USER, kSettings, u"SMARTPollingIntervall"},
    {HKEY_CURRENT_USER, kSettings, u"DisableMouseButtons"},
    {HKEY_CURRENT_USER, kSettings, u"MaxTemp"},
    {HKEY_LOCAL_MACHINE, kProduct, u"DisableMouseButtons"},
    {HKEY_LOCAL_MACHINE, kProduct, u"__LogLevel__"},
    {HKEY_LOCAL_MACHINE, kProduct, u"__LogToFile__"},
    {HKEY_LOCAL_MACHINE, kProduct, u"__LogFile__"},
    {HKEY_LOCAL_MACHINE, kProduct, u"__LogNoEncrypt_@@__"},
    {HKEY_LOCAL_MACHINE, kProduct, u"__NoFlush__"},
    {HKEY_LOCAL_MACHINE, kHistory, u"7.0"},
    {HKEY_LOCAL_MACHINE, kHistory, u"7.1"},
    {HKEY_LOCAL_MACHINE, kHistory, u"3.5"},
};

void Store(const StoredValue& value, DWORD type, std::vector<BYTE> data) {
    // A log file is opened where "__LogFile__" says: keep it inside the
    // private root (the current directory) whatever the input names.
    if (value.name == kValues[9].name) {
        for (BYTE& b : data)
            if (b == '/' || b == '\\') b = '_';
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(value.root, value.key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, value.name, 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

ScopedRoot* g_root = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The stores live as long as the run; log files go to the same place.
    g_root = new ScopedRoot;
    std::atexit([] { delete g_root; });
    if (chdir(g_root->Dir().c_str()) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RegDeleteTreeW(HKEY_CURRENT_USER, u"SOFTWARE\\Zelmor");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Zelmor");
    HKEY product = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProduct, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &product, nullptr);
    RegCloseKey(product);
    while (size >= 4) {
        const StoredValue& value = kValues[data[0] % std::size(kValues)];
        const DWORD type = data[1] % 12;
        const size_t length = std::min<size_t>(data[2] | data[3] << 8, size - 4);
        Store(value, type, std::vector<BYTE>(data + 4, data + 4 + length));
        data += 4 + length;
        size -= 4 + length;
    }

    GuiSettings gui;
    settings::LoadSettings(gui, nullptr);
    {
        CLog log;
        log.ReadOptions(nullptr, HKEY_LOCAL_MACHINE, kProduct, 0);
        CLog::Print(&log, 1, u"", "a line");
        log.Close();
    }
    DeviceNode* nodes = nullptr;
    history::Load(kHistory, &nodes);
    while (nodes) {
        DeviceNode* next = nodes->next;
        delete nodes;
        nodes = next;
    }
    return 0;
}
