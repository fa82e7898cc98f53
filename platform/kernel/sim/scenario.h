// A scenario: the simulated machine as JSON (documented in
// docs/kernel-scenario.md): kernel settings, file systems, storage devices
// with their volumes, symbolic links (drive letters) and driver modules.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "kernel/sim/file_system.h"

namespace kern::sim {

struct ModuleSpec {
    std::string path;  // shared object; relative paths are relative to the driver directory
    std::u16string name;  // driver object name
};

struct MachineSpec {
    KernelSettings settings;
    std::vector<FileSystemSpec> file_systems;
    std::vector<StorageSpec> storage;
    std::vector<std::pair<std::u16string, std::u16string>> links;  // name -> target
    std::vector<ModuleSpec> modules;
};

// Parses a scenario; false with a message naming the bad field on error.
bool ParseScenario(const std::string& json_text, MachineSpec* spec, std::string* error);
bool LoadScenarioFile(const std::string& path, MachineSpec* spec, std::string* error);

// The machine lumetra-kernel builds without a scenario: a disk file system,
// a CD-ROM file system, the recogniser and the redirector; C: and D: on the
// first disk, E: a CD-ROM, A: a floppy, Z: a network drive; the blinkor
// module.
MachineSpec DefaultScenario();

}  // namespace kern::sim
