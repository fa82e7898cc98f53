#include "Settings.h"

#include "archive/ZmArchive.h"

namespace settings {

const std::array<BinField, 20> kBinLayout = {{
    {&GuiSettings::Horizontal},
    {&GuiSettings::OptionsPanelOpen},
    {&GuiSettings::KeyboardLed},
    {&GuiSettings::AlwaysOnTop},
    {&GuiSettings::Snap},
    {&GuiSettings::TransparencyAvailable},
    {&GuiSettings::MinimizedToTray},
    {&GuiSettings::AutoHide},
    {nullptr, &GuiSettings::Alpha},
    {nullptr, &GuiSettings::Color},
    {&GuiSettings::SmartDisplay},
    {&GuiSettings::ShowCD},
    {&GuiSettings::ShowTape},
    {&GuiSettings::ShowNetwork},
    {&GuiSettings::ShowRemovable},
    {&GuiSettings::Autostart},
    {&GuiSettings::ShowBorder},
    {&GuiSettings::Reserved1},
    {&GuiSettings::Fahrenheit},
    {&GuiSettings::SnapEdge},
}};

GuiSettings Defaults(std::u16string_view language) {
    GuiSettings s;
    s.Fahrenheit = language == kFahrenheitLanguage ? 1 : 0;
    return s;
}

void WriteBin(const GuiSettings& s, CZmArchive& archive) {
    for (const BinField& field : kBinLayout) {
        if (field.wide) archive.Put32(s.*field.wide);
        else archive.Put8(s.*field.narrow);
    }
}

void ReadBin(CZmArchive& archive, GuiSettings& s) {
    for (const BinField& field : kBinLayout) {
        if (field.wide) archive.Get32(s.*field.wide);
        else archive.Get8(s.*field.narrow);
    }
}

}  // namespace settings
