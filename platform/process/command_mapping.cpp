#include "process/command_mapping.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/program_path.h"
#include "base/text.h"

namespace plat::process {
namespace {

using Candidates = std::vector<std::vector<std::string>>;

const Candidates kDiskUtilities = {{"gnome-disks"}, {"kdepartitionmanager"}, {"gparted"}};
const Candidates kNetworkSettings = {
    {"nm-connection-editor"}, {"gnome-control-center", "network"}, {"systemsettings", "kcm_networkmanagement"}};

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

// Mount points of block devices, root first, in mountinfo order.
std::vector<std::string> BlockMounts() {
    std::vector<std::string> mounts{"/"};
    std::ifstream in("/proc/self/mountinfo");
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string id, parent, devno, root, mount_point, rest;
        fields >> id >> parent >> devno >> root >> mount_point;
        const std::size_t dash = line.find(" - ");
        if (dash == std::string::npos) continue;
        std::istringstream tail(line.substr(dash + 3));
        std::string type, source;
        tail >> type >> source;
        if (source.rfind("/dev/", 0) == 0 && mount_point != "/" && root == "/") mounts.push_back(mount_point);
    }
    return mounts;
}

}  // namespace

Desktop ThisDesktop() {
    return Desktop{&ProgramOnPath, [](char letter) -> std::optional<std::string> {
                       const auto mounts = BlockMounts();
                       const std::size_t index = std::size_t(letter - 'C');
                       if (letter < 'C' || index >= mounts.size()) return std::nullopt;
                       return mounts[index];
                   }};
}

std::optional<std::vector<std::string>> MapCommandLine(const std::u16string& command_line, const Desktop& desktop) {
    const std::string line = Utf16ToUtf8(ToLowerAscii(command_line));
    if (line.find("explorer.exe") != std::string::npos) {
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
