#include "kernel/sim/scenario.h"

#include <cstdint>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "base/text.h"

namespace kern::sim {
namespace {

using nlohmann::json;

struct ScenarioError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::u16string U16(const std::string& s) { return plat::Utf8ToUtf16(s); }

// A whole number within T's range: a fraction, a number beyond the range
// (which a conversion would wrap, or for floating point leave undefined) or
// a boolean is refused rather than turned into some other number.
template <typename T>
T WholeNumber(const json& value, const std::string& field) {
    const bool whole = value.is_number_unsigned()
                           ? value.get<std::uint64_t>() <= std::uint64_t(std::numeric_limits<T>::max())
                           : value.is_number_integer() && value.get<std::int64_t>() >= 0 &&
                                 std::uint64_t(value.get<std::int64_t>()) <= std::uint64_t(std::numeric_limits<T>::max());
    if (!whole)
        throw ScenarioError(field + ": must be a whole number from 0 to " + std::to_string(std::numeric_limits<T>::max()));
    return value.is_number_unsigned() ? T(value.get<std::uint64_t>()) : T(value.get<std::int64_t>());
}

template <typename T>
T Get(const json& object, const char* key, T fallback, const std::string& where) {
    if (!object.contains(key)) return fallback;
    if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
        return WholeNumber<T>(object.at(key), where + "." + key);
    }
    try {
        return object.at(key).get<T>();
    } catch (const json::exception&) {
        throw ScenarioError(where + "." + key + ": wrong type");
    }
}

DEVICE_TYPE FileSystemType(const std::string& kind, const std::string& where) {
    static const std::map<std::string, DEVICE_TYPE> kinds = {
        {"disk", FILE_DEVICE_DISK_FILE_SYSTEM}, {"cdrom", FILE_DEVICE_CD_ROM_FILE_SYSTEM},
        {"tape", FILE_DEVICE_TAPE_FILE_SYSTEM}, {"network", FILE_DEVICE_NETWORK_FILE_SYSTEM},
        {"changer", FILE_DEVICE_CHANGER},       {"dfs", FILE_DEVICE_DFS_FILE_SYSTEM}};
    const auto it = kinds.find(kind);
    if (it == kinds.end()) throw ScenarioError(where + ".type: unknown file-system type \"" + kind + "\"");
    return it->second;
}

DEVICE_TYPE StorageType(const std::string& kind, const std::string& where) {
    static const std::map<std::string, DEVICE_TYPE> kinds = {
        {"disk", FILE_DEVICE_DISK}, {"cdrom", FILE_DEVICE_CD_ROM}, {"dvd", FILE_DEVICE_DVD},
        {"tape", FILE_DEVICE_TAPE}, {"virtual_disk", FILE_DEVICE_VIRTUAL_DISK}};
    const auto it = kinds.find(kind);
    if (it == kinds.end()) throw ScenarioError(where + ".type: unknown storage type \"" + kind + "\"");
    return it->second;
}

FileSystemSpec ParseFileSystem(const json& j, const std::string& where) {
    FileSystemSpec fs;
    const std::string name = Get<std::string>(j, "name", "", where);
    if (name.empty()) throw ScenarioError(where + ".name: missing");
    fs.name = U16(name);
    fs.type = FileSystemType(Get<std::string>(j, "type", "disk", where), where);
    const bool network = fs.type == FILE_DEVICE_NETWORK_FILE_SYSTEM;
    fs.driver_name = U16(Get<std::string>(j, "driver", "\\FileSystem\\" + name, where));
    fs.device_name = U16(Get<std::string>(j, "device", network ? "\\Device\\" + name : "\\" + name, where));
    fs.recognizer = Get<bool>(j, "recognizer", false, where);
    fs.registered = Get<bool>(j, "registered", true, where);
    fs.fast_io_size = Get<ULONG>(j, "fast_io_size", 0, where);
    fs.mount_at_dispatch = Get<bool>(j, "mount_at_dispatch", false, where);
    if (j.contains("fast_io")) {
        const json& f = j.at("fast_io");
        if (f.is_string() && (f == "all" || f == "none")) {
            fs.all_fast_io = f == "all";
        } else if (f.is_array()) {
            fs.all_fast_io = false;
            for (const auto& entry : f) {
                const std::string entry_name = entry.is_string() ? entry.get<std::string>() : "";
                const auto& names = FastIoEntryNames();
                if (std::find(names.begin() + 1, names.end(), entry_name) == names.end())
                    throw ScenarioError(where + ".fast_io: unknown entry \"" + entry_name + "\"");
                fs.fast_io.push_back(entry_name);
            }
        } else {
            throw ScenarioError(where + ".fast_io: \"all\", \"none\" or a list of entry names");
        }
    }
    return fs;
}

StorageSpec ParseStorage(const json& j, const std::string& where) {
    StorageSpec s;
    const std::string name = Get<std::string>(j, "name", "", where);
    if (name.size() < 2 || name[0] != '\\') throw ScenarioError(where + ".name: a full object name is required");
    s.name = U16(name);
    s.type = StorageType(Get<std::string>(j, "type", "disk", where), where);
    s.removable = Get<bool>(j, "removable", false, where);
    s.floppy = Get<bool>(j, "floppy", false, where);
    if (j.contains("device_number") && !j.at("device_number").is_null()) {
        const json& n = j.at("device_number");
        const std::string w = where + ".device_number";
        s.number = STORAGE_DEVICE_NUMBER{Get<ULONG>(n, "type", s.type, w), Get<ULONG>(n, "disk", 0, w),
                                         Get<ULONG>(n, "partition", 0xFFFFFFFF, w)};
    }
    if (j.contains("volume")) {
        const json& v = j.at("volume");
        const std::string w = where + ".volume";
        VolumeSpec volume;
        volume.file_system = U16(Get<std::string>(v, "file_system", "", w));
        if (volume.file_system.empty()) throw ScenarioError(w + ".file_system: missing");
        volume.label = U16(Get<std::string>(v, "label", "", w));
        if (volume.label.size() > MAXIMUM_VOLUME_LABEL_LENGTH / sizeof(WCHAR))
            throw ScenarioError(w + ".label: longer than 32 characters");
        volume.serial = Get<ULONG>(v, "serial", 0, w);
        volume.total_bytes = Get<ULONGLONG>(v, "total_bytes", 0, w);
        volume.free_bytes = Get<ULONGLONG>(v, "free_bytes", 0, w);
        if (volume.free_bytes > volume.total_bytes) throw ScenarioError(w + ".free_bytes: more than total_bytes");
        volume.mounted = Get<bool>(v, "mounted", true, w);
        volume.mount_point = Get<std::string>(v, "mount_point", "", w);
        s.volume = volume;
    }
    return s;
}

void ParseInto(const json& root, MachineSpec* spec) {
    if (!root.is_object()) throw ScenarioError("the scenario must be a JSON object");
    if (root.contains("version")) {
        const json& v = root.at("version");
        spec->settings.major_version = Get<ULONG>(v, "major", 5, "version");
        spec->settings.minor_version = Get<ULONG>(v, "minor", 1, "version");
        spec->settings.build_number = Get<ULONG>(v, "build", 2600, "version");
    }
    spec->settings.filters_directory = Get<bool>(root, "filters_directory", true, "scenario");
    const auto list = [&](const char* key) {
        if (!root.contains(key)) return json::array();
        if (!root.at(key).is_array()) throw ScenarioError(std::string(key) + ": must be a list");
        return root.at(key);
    };
    int i = 0;
    for (const auto& fs : list("file_systems")) spec->file_systems.push_back(ParseFileSystem(fs, "file_systems[" + std::to_string(i++) + "]"));
    i = 0;
    for (const auto& s : list("storage")) spec->storage.push_back(ParseStorage(s, "storage[" + std::to_string(i++) + "]"));
    if (root.contains("links")) {
        if (!root.at("links").is_object()) throw ScenarioError("links: must be an object of name: target");
        for (const auto& [name, target] : root.at("links").items()) {
            if (!target.is_string()) throw ScenarioError("links." + name + ": target must be a string");
            spec->links.emplace_back(U16(name), U16(target.get<std::string>()));
        }
    }
    i = 0;
    for (const auto& m : list("modules")) {
        const std::string where = "modules[" + std::to_string(i++) + "]";
        ModuleSpec module;
        module.path = Get<std::string>(m, "path", "", where);
        if (module.path.empty()) throw ScenarioError(where + ".path: missing");
        std::string stem = module.path.substr(module.path.rfind('/') + 1);
        stem = stem.substr(0, stem.find('.'));
        module.name = U16(Get<std::string>(m, "name", "\\FileSystem\\" + stem, where));
        spec->modules.push_back(module);
    }
}

}  // namespace

bool ParseScenario(const std::string& json_text, MachineSpec* spec, std::string* error) {
    *spec = MachineSpec{};
    try {
        const json root = json::parse(json_text);
        ParseInto(root, spec);
        if (!root.contains("modules")) spec->modules = DefaultScenario().modules;
        return true;
    } catch (const json::exception& e) {
        if (error) *error = std::string("not valid JSON: ") + e.what();
    } catch (const ScenarioError& e) {
        if (error) *error = e.what();
    }
    return false;
}

bool LoadScenarioFile(const std::string& path, MachineSpec* spec, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (ParseScenario(text.str(), spec, error)) return true;
    if (error) *error = path + ": " + *error;
    return false;
}

MachineSpec DefaultScenario() {
    static const char* const kDefault = R"({
      "file_systems": [
        {"name": "Ntfs", "type": "disk"},
        {"name": "Cdfs", "type": "cdrom"},
        {"name": "Fs_Rec", "type": "disk", "device": "\\FileSystem\\FatDiskRecognizer", "recognizer": true},
        {"name": "LanmanRedirector", "type": "network", "driver": "\\FileSystem\\MRxSmb"}
      ],
      "storage": [
        {"name": "\\Device\\HarddiskVolume1", "device_number": {"type": 7, "disk": 0, "partition": 1},
         "volume": {"file_system": "Ntfs", "label": "SYSTEM", "serial": 1122867,
                    "total_bytes": 42949672960, "free_bytes": 10737418240}},
        {"name": "\\Device\\HarddiskVolume2", "device_number": {"type": 7, "disk": 0, "partition": 2},
         "volume": {"file_system": "Ntfs", "label": "DATA", "serial": 2233978,
                    "total_bytes": 107374182400, "free_bytes": 53687091200}},
        {"name": "\\Device\\CdRom0", "type": "cdrom", "removable": true,
         "device_number": {"type": 2, "disk": 0},
         "volume": {"file_system": "Cdfs", "label": "DISC", "serial": 3345089,
                    "total_bytes": 734003200, "free_bytes": 0}},
        {"name": "\\Device\\Floppy0", "floppy": true,
         "volume": {"file_system": "Ntfs", "label": "", "serial": 4456190,
                    "total_bytes": 1474560, "free_bytes": 1024000}}
      ],
      "links": {
        "\\??\\C:": "\\Device\\HarddiskVolume1",
        "\\??\\D:": "\\Device\\HarddiskVolume2",
        "\\Device\\Harddisk0\\Partition1": "\\Device\\HarddiskVolume1",
        "\\Device\\Harddisk0\\Partition2": "\\Device\\HarddiskVolume2",
        "\\??\\E:": "\\Device\\CdRom0",
        "\\??\\A:": "\\Device\\Floppy0",
        "\\??\\Z:": "\\Device\\LanmanRedirector\\;Z:0000000000003e7\\server\\share"
      },
      "modules": [{"path": "blinkor.so", "name": "\\FileSystem\\Blinkor"}]
    })";
    MachineSpec spec;
    std::string error;
    const json root = json::parse(kDefault);
    ParseInto(root, &spec);
    return spec;
}

}  // namespace kern::sim
