#include "process/autostart.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "base/text.h"
#include "registry/paths.h"
#include "registry/registry.h"

namespace plat::process {
namespace {

constexpr char kPrefix[] = "zelmor-lumetra-";
const char16_t kRunKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// name -> command line of every REG_SZ value of the Run key.
std::map<std::string, std::string> RunValues() {
    std::map<std::string, std::string> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD name_chars = 256, type = 0;
        BYTE data[4096];
        DWORD size = sizeof data;
        if (RegEnumValueW(key, i, name, &name_chars, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        if (type != REG_SZ) continue;
        std::u16string text(reinterpret_cast<const char16_t*>(data), size / 2);
        while (!text.empty() && text.back() == 0) text.pop_back();
        values[Utf16ToUtf8(std::u16string(name, name_chars))] = Utf16ToUtf8(text);
    }
    RegCloseKey(key);
    return values;
}

// Names usable in a file name: other characters become '_'.
std::string FileSafe(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.') c = '_';
    return out;
}

// A path quoted as one Exec argument of the Desktop Entry format: '"', '`',
// '$' and '\\' are escaped inside the quotes, and that escape is doubled
// because the format undoes string escapes before it parses the quoting.
std::string Quoted(const std::string& path) {
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += "\\\\";
        quoted += c;
    }
    return quoted + "\"";
}

// Quoted only when it holds characters the format reserves.
std::string ExecArgument(const std::string& path) {
    return path.find_first_of(" \t\n\"'\\><~|&;$*?#()`") == std::string::npos ? path : Quoted(path);
}

std::string LinuxPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// The command line with its leading Windows-form path turned into a Linux
// one. An unquoted command that names an existing program as a whole is that
// program's path (the GUI writes its own path bare, which may hold spaces);
// otherwise the path ends at the first space.
std::string ExecLine(const std::string& command) {
    if (!command.empty() && command.front() == '"') {
        const std::size_t end = command.find('"', 1);
        const std::string path = LinuxPath(command.substr(1, end == std::string::npos ? std::string::npos : end - 1));
        return Quoted(path) + (end == std::string::npos ? "" : command.substr(end + 1));
    }
    if (std::error_code ec; std::filesystem::is_regular_file(LinuxPath(command), ec))
        return ExecArgument(LinuxPath(command));
    const std::size_t space = command.find(' ');
    return ExecArgument(LinuxPath(command.substr(0, space))) +
           (space == std::string::npos ? "" : command.substr(space));
}

bool WriteEntry(const std::filesystem::path& file, const std::string& name, const std::string& command) {
    const std::filesystem::path temp = file.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=" << ExecLine(command)
            << "\nX-GNOME-Autostart-enabled=true\n";
        if (!out.flush()) return false;
    }
    std::error_code ec;
    std::filesystem::rename(temp, file, ec);
    return !ec;
}

}  // namespace

std::string AutostartDirectory() {
    if (const std::string root = StateRoot(); !root.empty()) return root + "/autostart";
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config) return std::string(config) + "/autostart";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/autostart";
}

bool MirrorAutostart() {
    const std::filesystem::path dir = AutostartDirectory();
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) return false;
    const auto values = RunValues();
    bool ok = true;
    std::map<std::string, bool> wanted;
    for (const auto& [name, command] : values) {
        const std::string file = kPrefix + FileSafe(name) + ".desktop";
        wanted[file] = true;
        ok = WriteEntry(dir / file, name, command) && ok;
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind(kPrefix, 0) == 0 && file.ends_with(".desktop") && !wanted.count(file))
            std::filesystem::remove(entry.path(), ec);
    }
    return ok;
}

}  // namespace plat::process
