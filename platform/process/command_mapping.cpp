#include "process/command_mapping.h"

#include <cctype>

#include "base/program_path.h"
#include "base/text.h"
#include "kernel/client/device_files.h"

namespace plat::process {
namespace {

using Candidates = std::vector<std::vector<std::string>>;

const Candidates kDiskUtilities = {{"gnome-disks"}, {"kdepartitionmanager"}, {"gparted"}};
const Candidates kNetworkSettings = {
    {"nm-connection-editor"}, {"gnome-control-center", "network"}, {"systemsettings", "kcm_networkmanagement"}};
// File managers that browse the network's shares (the network places).
const Candidates kNetworkPlaces = {{"nautilus", "network:///"}, {"nemo", "network:///"},
                                   {"caja", "network:///"},     {"thunar", "network:///"},
                                   {"pcmanfm", "network:///"},  {"dolphin", "remote:/"}};
// The shell folder of the network places.
constexpr char kNetworkPlacesFolder[] = "::{208d2c60-3aea-1069-a2d7-08002b30309d}";

std::optional<std::vector<std::string>> FirstPresent(const Candidates& candidates, const Desktop& desktop) {
    for (const auto& argv : candidates)
        if (desktop.hasProgram(argv.front())) return argv;
    return std::nullopt;
}

// "explorer.exe /e,X:\" -> X
std::optional<char> ExplorerDrive(const std::string& line) {
    const std::size_t at = line.find("/e,");
    if (at == std::string::npos || at + 5 > line.size() || line[at + 4] != ':') return std::nullopt;
    const char letter = char(std::toupper(static_cast<unsigned char>(line[at + 3])));
    if (letter < 'A' || letter > 'Z') return std::nullopt;
    return letter;
}

}  // namespace

Desktop ThisDesktop() {
    return Desktop{&ProgramOnPath, [](char letter) -> std::optional<std::string> {
                       const std::u16string root = {char16_t(letter), u':', u'\\'};
                       std::string path;
                       if (!kclient::GetDriveMountPoint(root.c_str(), &path)) return std::nullopt;
                       return path;
                   }};
}

std::optional<std::vector<std::string>> MapCommandLine(const std::u16string& command_line, const Desktop& desktop) {
    const std::string line = Utf16ToUtf8(ToLowerAscii(command_line));
    if (line.find("explorer.exe") != std::string::npos) {
        if (line.find(kNetworkPlacesFolder) != std::string::npos) return FirstPresent(kNetworkPlaces, desktop);
        const auto letter = ExplorerDrive(line);
        const auto mount = letter ? desktop.mountPoint(*letter) : std::nullopt;
        if (!mount || !desktop.hasProgram("xdg-open")) return std::nullopt;
        return std::vector<std::string>{"xdg-open", *mount};
    }
    if ((line.find("mmc.exe") != std::string::npos && line.find("diskmgmt.msc") != std::string::npos) ||
        line.find("windisk.exe") != std::string::npos)
        return FirstPresent(kDiskUtilities, desktop);
    if (line.find("rundll32.exe") != std::string::npos && line.find("ncpa.cpl") != std::string::npos)
        return FirstPresent(kNetworkSettings, desktop);
    return std::nullopt;
}

}  // namespace plat::process
