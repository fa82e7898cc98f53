#include "SettingsStore.h"

#include <cstdint>
#include <vector>

#include "GuiLog.h"
#include "Registry.h"
#include "archive/ZmArchive.h"
#include "resource/module.h"

namespace settings {
namespace {

std::u16string_view LoadText(HMODULE module, UINT id) {
    const WCHAR* text = nullptr;
    const int length = module ? LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0) : 0;
    return length > 0 ? std::u16string_view(text, std::size_t(length)) : std::u16string_view();
}

// "DisableMouseButtons" switches the option on only when it reads as 1.
void ReadMouseButtonsSwitch(CRegistry& key, GuiSettings& s) {
    DWORD value = 0;
    if (key.ReadDword(u"DisableMouseButtons", value) && value == 1) s.DisableMouseButtons = 1;
}

void ReadBinFields(CRegistry& key, GuiSettings& s) {
    DWORD size = 0;
    if (!key.ReadDword(u"size", size)) return;
    // A "size" no "bin" could have reads as an unusable "bin": all zeros.
    std::vector<BYTE> bin(size <= kMaxBinBytes ? size : kBinSize, 0);
    if (size <= kMaxBinBytes) key.ReadBinaryExact(u"bin", bin.data(), size);
    CZmArchive archive(bin.data(), DWORD(bin.size()));
    ReadBin(archive, s);
}

void ReadUserValues(GuiSettings& s) {
    CRegistry key(HKEY_CURRENT_USER);
    if (!key.KeyExists(HKEY_CURRENT_USER, kSettingsKey) || !key.OpenKey(HKEY_CURRENT_USER, kSettingsKey, TRUE)) return;
    ReadBinFields(key, s);
    gui::Trace("CGAPP::LS: Reading placement...");
    const BOOL placed = key.ReadBinaryExact(u"Placement", &s.Placement, kPlacementSize);
    gui::Trace("CGAPP::LS: ReadBinaryExact() returned b=%d", placed);
    key.ReadDword(u"SMARTPollingIntervall", s.SMARTPollingIntervall);
    ReadMouseButtonsSwitch(key, s);
    DWORD max_temp = 0;
    if (key.ReadDword(u"MaxTemp", max_temp)) s.MaxTemp = LONG(max_temp);
    key.CloseKey();
}

void ReadMachineValues(GuiSettings& s) {
    CRegistry key(HKEY_LOCAL_MACHINE);
    if (!key.OpenKey(HKEY_LOCAL_MACHINE, kSettingsKey, TRUE)) return;
    ReadMouseButtonsSwitch(key, s);
    key.CloseKey();
}

}  // namespace

int LoadSettings(GuiSettings& s, HMODULE resources) {
    gui::Trace("CGAPP::LS: -> (0x%x)", reinterpret_cast<std::uintptr_t>(&s));
    gui::Trace("CGAPP::LS: Setting defaults in binsettings");
    s = Defaults(LoadText(resources, kLanguageString));
    ReadUserValues(s);
    if (s.DisableMouseButtons == 0) ReadMachineValues(s);
    if (s.SMARTPollingIntervall == 0) s.SMARTPollingIntervall = kDefaultPollingInterval;
    gui::Trace("CGAPP::LS: SMART enabled=%d", s.SmartEnabled);
    gui::Trace("CGAPP::LS: SMARTPollingInterval=%lu", s.SMARTPollingIntervall);
    gui::Trace("CGAPP::LS: <- (%d)", 0);
    return 0;
}

namespace {

// The "bin" bytes followed by the "Placement" bytes: everything a save
// writes ("size" is the length of the first part).
std::vector<BYTE> SavedBytes(const GuiSettings& s) {
    CZmArchive archive;
    WriteBin(s, archive);
    const BYTE* bin = archive.GetBuffer(TRUE);
    std::vector<BYTE> bytes(bin, bin + archive.GetLength(TRUE));
    const BYTE* placement = reinterpret_cast<const BYTE*>(&s.Placement);
    bytes.insert(bytes.end(), placement, placement + kPlacementSize);
    return bytes;
}

struct SaveResult {
    BOOL opened = FALSE;
    bool allWritten = false;
};

SaveResult Store(const std::vector<BYTE>& bytes) {
    // Opening with full access is what testing for the key does, and a
    // created key is already open with full access: one open per save.
    CRegistry key(HKEY_CURRENT_USER);
    if (!key.OpenKey(HKEY_CURRENT_USER, kSettingsKey, FALSE) && !key.CreateKey(HKEY_CURRENT_USER, kSettingsKey))
        return {};
    const DWORD bin_size = DWORD(bytes.size()) - kPlacementSize;
    bool written = key.WriteDword(u"size", bin_size);
    written = key.WriteBinary(u"bin", bytes.data(), bin_size) && written;
    written = key.WriteBinary(u"Placement", bytes.data() + bin_size, kPlacementSize) && written;
    key.CloseKey();
    return {TRUE, written};
}

}  // namespace

BOOL SaveSettings(const GuiSettings& s) { return Store(SavedBytes(s)).opened; }

BOOL SettingsWriter::Save(const GuiSettings& s) {
    std::vector<BYTE> bytes = SavedBytes(s);
    std::lock_guard lock(m_mutex);
    if (!m_stored.empty() && bytes == m_stored) return TRUE;
    const SaveResult result = Store(bytes);
    if (result.allWritten) m_stored = std::move(bytes);
    else m_stored.clear();
    return result.opened;
}

void SettingsWriter::Seed(const GuiSettings& s) {
    std::vector<BYTE> bytes = SavedBytes(s);
    std::lock_guard lock(m_mutex);
    m_stored = std::move(bytes);
}

void SettingsWriter::Forget() {
    std::lock_guard lock(m_mutex);
    m_stored.clear();
}

}  // namespace settings
