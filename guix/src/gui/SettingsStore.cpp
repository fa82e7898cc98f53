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

BOOL SaveSettings(const GuiSettings& s) {
    // Opening with full access is what testing for the key does, and a
    // created key is already open with full access: one open per save, which
    // matters on every mouse move.
    CRegistry key(HKEY_CURRENT_USER);
    if (!key.OpenKey(HKEY_CURRENT_USER, kSettingsKey, FALSE) && !key.CreateKey(HKEY_CURRENT_USER, kSettingsKey))
        return FALSE;
    CZmArchive archive;
    WriteBin(s, archive);
    key.WriteDword(u"size", archive.GetLength(TRUE));
    key.WriteBinary(u"bin", archive.GetBuffer(TRUE), archive.GetLength(TRUE));
    key.WriteBinary(u"Placement", &s.Placement, kPlacementSize);
    key.CloseKey();
    return TRUE;
}

}  // namespace settings
