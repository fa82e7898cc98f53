// The Windows tools the GUI starts and what stands in for them here:
//   "explorer.exe /e,X:\"                        -> xdg-open on X:'s mount point
//   "mmc.exe ...diskmgmt.msc", "windisk.exe"     -> a disk utility
//   "rundll32.exe shell32.dll,Control_RunDLL ...ncpa.cpl" -> network settings
//   "explorer.exe /e,::{208D2C60-...}" (network places) -> a file manager's
//                                                network view
// Each stand-in is the first of its candidates that the desktop has. A
// command with no stand-in, or whose stand-ins are all absent, maps to
// nothing, and nothing is started.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plat::process {

struct Desktop {
    // True when the program `name` can be run (found on PATH).
    std::function<bool(const std::string& name)> hasProgram;
    // The mount point of drive letter `letter` ('C'..'Z'), if any.
    std::function<std::optional<std::string>(char letter)> mountPoint;
};

// The desktop of this machine: PATH look-up, and each drive letter's mount
// point as the kernel host reports it (the real machine's mounts, or what
// a simulated machine's scenario gives); no host, no mount point.
Desktop ThisDesktop();

std::optional<std::vector<std::string>> MapCommandLine(const std::u16string& command_line, const Desktop& desktop);

}  // namespace plat::process
