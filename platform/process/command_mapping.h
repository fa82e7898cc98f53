// The Windows tools the GUI starts and what stands in for them here:
//   "explorer.exe /e,X:\"                        -> xdg-open on X:'s mount point
//   "mmc.exe ...diskmgmt.msc", "windisk.exe"     -> a disk utility
//   "rundll32.exe shell32.dll,Control_RunDLL ...ncpa.cpl" -> network settings
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

// The desktop of this machine: PATH look-up, and drive letters as the
// kernel host assigns them (C: the root file system, then D:, E:, ... the
// other block-device mounts in /proc/self/mountinfo order).
Desktop ThisDesktop();

std::optional<std::vector<std::string>> MapCommandLine(const std::u16string& command_line, const Desktop& desktop);

}  // namespace plat::process
