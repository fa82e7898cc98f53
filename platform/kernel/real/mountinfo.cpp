#include "kernel/real/mountinfo.h"

#include <algorithm>

#include "kernel/real/text_fields.h"

namespace kern::real {
namespace {

bool ParseLine(std::string_view line, MountEntry* entry) {
    const auto f = SplitFields(line);
    // id parent major:minor root point options [optional...] - type source super
    const auto dash = std::find(f.begin(), f.end(), std::string_view("-"));
    if (f.size() < 10 || dash == f.end() || dash - f.begin() < 6 || f.end() - dash < 3) return false;
    const std::string_view device = f[2];
    const std::size_t colon = device.find(':');
    if (colon == std::string_view::npos || !ToNumber(f[0], &entry->id) || !ToNumber(f[1], &entry->parent) ||
        !ToNumber(device.substr(0, colon), &entry->major) || !ToNumber(device.substr(colon + 1), &entry->minor))
        return false;
    entry->root = UnescapeMountField(f[3]);
    entry->mount_point = UnescapeMountField(f[4]);
    entry->fs_type = UnescapeMountField(dash[1]);
    entry->source = UnescapeMountField(dash[2]);
    return true;
}

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// Network file systems by type; FUSE ones by the part after "fuse.".
bool IsNetworkType(std::string_view type) {
    static constexpr std::string_view kTypes[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "ceph",
                                                  "afs", "9p", "glusterfs", "davfs", "coda"};
    static constexpr std::string_view kFuse[] = {"sshfs", "rclone", "curlftpfs", "davfs2", "s3fs",
                                                 "gcsfuse", "glusterfs", "smbnetfs", "ftpfs", "httpfs"};
    if (std::find(std::begin(kTypes), std::end(kTypes), type) != std::end(kTypes)) return true;
    if (!type.starts_with("fuse.")) return false;
    type.remove_prefix(5);
    return std::find(std::begin(kFuse), std::end(kFuse), type) != std::end(kFuse);
}

}  // namespace

std::string UnescapeMountField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) && IsOctal(field[i + 2]) &&
            IsOctal(field[i + 3])) {
            out += char((field[i + 1] - '0') << 6 | (field[i + 2] - '0') << 3 | (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        MountEntry entry;
        if (ParseLine(text.substr(0, end), &entry)) entries.push_back(std::move(entry));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return entries;
}

MountKind KindOfMount(const MountEntry& entry) {
    if (IsNetworkType(entry.fs_type)) return MountKind::Network;
    if (entry.fs_type == "squashfs" || entry.fs_type == "erofs" || entry.fs_type == "overlay") return MountKind::Other;
    if (entry.major != 0 || entry.source.starts_with("/dev/")) return MountKind::Volume;
    return MountKind::Other;
}

std::string UncNameOf(const MountEntry& entry) {
    std::string_view source = entry.source;
    std::string host, path;
    if (source.starts_with("//")) {  // //server/share
        source.remove_prefix(2);
        const std::size_t slash = source.find('/');
        host = std::string(source.substr(0, slash));
        path = slash == std::string_view::npos ? "" : std::string(source.substr(slash + 1));
    } else {
        const std::size_t colon = source.find(':');
        if (colon == std::string_view::npos || colon == 0) return {};
        host = std::string(source.substr(0, colon));
        path = std::string(source.substr(colon + 1));
        if (const std::size_t at = host.rfind('@'); at != std::string::npos) host.erase(0, at + 1);
    }
    if (host.empty()) return {};
    while (!path.empty() && path.front() == '/') path.erase(0, 1);
    while (!path.empty() && path.back() == '/') path.pop_back();
    std::string unc = "\\\\" + host;
    if (!path.empty()) unc += "\\" + path;
    std::replace(unc.begin() + 2, unc.end(), '/', '\\');
    return unc;
}

}  // namespace kern::real
