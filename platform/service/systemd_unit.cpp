#include "service/systemd_unit.h"

#include <errno.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/last_error.h"
#include "base/text.h"
#include "registry/paths.h"

namespace plat::service::detail {
namespace {

namespace fs = std::filesystem;

constexpr char kWantsDirectory[] = "multi-user.target.wants";

// Inside a double-quoted systemd word: C escapes for '"' and '\', and '%'
// and '$' doubled so that systemd expands neither specifiers nor variables.
std::string QuoteWord(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '%' || c == '$') out += c;
        out += c;
    }
    return out + '"';
}

// A free-text setting: one line, '%' doubled.
std::string OneLine(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        if (c == '%') out += '%';
        out += c;
    }
    return out;
}

DWORD FromErrorCode(const std::error_code& ec) { return ec ? Win32ErrorFromErrno(ec.value()) : ERROR_SUCCESS; }

fs::path UnitPath(const ServiceConfig& config) { return fs::path(UnitDirectory()) / Utf16ToUtf8(config.unit); }
fs::path LinkPath(const ServiceConfig& config) {
    return fs::path(UnitDirectory()) / kWantsDirectory / Utf16ToUtf8(config.unit);
}

DWORD Enable(const ServiceConfig& config) {
    std::error_code ec;
    fs::create_directories(LinkPath(config).parent_path(), ec);
    if (!ec) fs::create_symlink(UnitPath(config), LinkPath(config), ec);
    return FromErrorCode(ec);
}

}  // namespace

std::string UnitDirectory() {
    const std::string root = StateRoot();
    return root.empty() ? "/etc/systemd/system" : root + "/systemd";
}

std::u16string UnitName(std::u16string_view service_name) {
    std::u16string unit;
    for (char16_t c : ToLowerAscii(service_name)) {
        const bool keep = (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'.' || c == u'-';
        unit += keep ? c : u'-';
    }
    return unit + u".service";
}

std::string UnitText(const ServiceConfig& config, const std::string& user) {
    std::string text = "# Written by the Zelmor Lumetra service control manager for the service \"" +
                       OneLine(Utf16ToUtf8(config.name)) + "\".\n";
    text += "[Unit]\nDescription=" + OneLine(Utf16ToUtf8(config.displayName)) + "\n\n";
    text += "[Service]\nType=simple\nExecStart=" + QuoteWord(Utf16ToUtf8(config.imagePath)) + "\n";
    // A service's stop ends its connections within about 2 s and then saves
    // its state; the unit says how long that may take rather than leaving it
    // to the system's default, which may be shorter or much longer.
    text += "TimeoutStopSec=" + std::to_string(kStopTimeoutSeconds) + "\n";
    if (!user.empty()) text += "User=" + OneLine(user) + "\n";
    text += "\n[Install]\nWantedBy=multi-user.target\n";
    return text;
}

DWORD WriteUnit(const ServiceConfig& config, const std::string& user) {
    const fs::path path = UnitPath(config);
    std::error_code ec;
    if (fs::exists(path, ec)) return ERROR_SERVICE_EXISTS;
    fs::create_directories(path.parent_path(), ec);
    if (ec) return FromErrorCode(ec);
    const fs::path temporary = path.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << UnitText(config, user);
        if (!out.flush()) {
            const DWORD error = Win32ErrorFromErrno(errno);
            fs::remove(temporary, ec);
            return error;
        }
    }
    fs::permissions(temporary, fs::perms(0644), ec);
    if (!ec) fs::rename(temporary, path, ec);
    if (ec) {
        fs::remove(temporary);
        return FromErrorCode(ec);
    }
    if (config.start != SERVICE_AUTO_START) return ERROR_SUCCESS;
    if (const DWORD rc = Enable(config)) {
        RemoveUnit(config);
        return rc;
    }
    return ERROR_SUCCESS;
}

DWORD RemoveUnit(const ServiceConfig& config) {
    if (config.unit.empty()) return ERROR_SUCCESS;
    std::error_code ec;
    fs::remove(LinkPath(config), ec);
    if (!ec) fs::remove(UnitPath(config), ec);
    return FromErrorCode(ec);
}

}  // namespace plat::service::detail
