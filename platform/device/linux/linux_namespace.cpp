#include "device/linux/linux_namespace.h"

#include <algorithm>
#include <charconv>

#include "base/text.h"

namespace plat::device::detail {
namespace {

// The number that follows `prefix` and ends the name (or comes before
// `suffix`), none when the name has another shape.
std::optional<int> NumberAfter(std::string_view name, std::string_view prefix, std::string_view suffix = {}) {
    if (name.size() <= prefix.size() + suffix.size() || name.substr(0, prefix.size()) != prefix) return std::nullopt;
    if (name.substr(name.size() - suffix.size()) != suffix) return std::nullopt;
    const std::string_view digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    int n = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (r.ec != std::errc() || r.ptr != digits.data() + digits.size() || n < 0) return std::nullopt;
    return n;
}

// N of "\device\harddiskN\drN" (both numbers the same).
std::optional<int> DiskNumber(std::string_view name) {
    const auto separator = name.rfind('\\');
    if (separator == std::string_view::npos) return std::nullopt;
    const auto disk = NumberAfter(name.substr(0, separator), "\\device\\harddisk");
    const auto dr = NumberAfter(name.substr(separator), "\\dr");
    return disk && disk == dr ? disk : std::nullopt;
}

std::string Lower(std::u16string_view name) { return Utf16ToUtf8(ToLowerAscii(name)); }

bool IsScsiDiskName(const std::string& name) {
    return name.size() > 2 && name.compare(0, 2, "sd") == 0 &&
           std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

}  // namespace

std::vector<std::string> LinuxNamespace::Disks() const {
    std::vector<std::string> disks;
    for (const std::string& name : m_system.ListDirectory("/sys/block"))
        if (IsScsiDiskName(name)) disks.push_back(name);
    std::sort(disks.begin(), disks.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return disks;
}

bool LinuxNamespace::Exists(const std::string& directory, const std::string& entry) const {
    const auto entries = m_system.ListDirectory(directory);
    return std::find(entries.begin(), entries.end(), entry) != entries.end();
}

std::optional<std::u16string> LinuxNamespace::LinkTarget(std::u16string_view name) const {
    const auto n = NumberAfter(Lower(name), "\\device\\harddisk", "\\partition0");
    if (!n || static_cast<std::size_t>(*n) >= Disks().size()) return std::nullopt;
    return Utf8ToUtf16("\\Device\\Harddisk" + std::to_string(*n) + "\\DR" + std::to_string(*n));
}

std::optional<LinuxNode> LinuxNamespace::Lookup(std::u16string_view wide_name) const {
    const std::string name = Lower(wide_name);
    using Kind = LinuxNode::Kind;
    if (const auto n = DiskNumber(name)) {
        const auto disks = Disks();
        if (static_cast<std::size_t>(*n) < disks.size()) {
            const std::string& disk = disks[static_cast<std::size_t>(*n)];
            return LinuxNode{Kind::kDisk, "/dev/" + disk, "/sys/block/" + disk, "/sys/block/" + disk + "/device", *n};
        }
    }
    if (const auto n = NumberAfter(name, "\\device\\cdrom")) {
        const std::string node = "sr" + std::to_string(*n);
        if (Exists("/sys/block", node))
            return LinuxNode{Kind::kCdRom, "/dev/" + node, "/sys/block/" + node, "/sys/block/" + node + "/device", *n};
    }
    if (const auto n = NumberAfter(name, "\\device\\tape")) {
        const std::string node = "nst" + std::to_string(*n);
        if (Exists("/sys/class/scsi_tape", node))
            return LinuxNode{Kind::kTape, "/dev/" + node, {}, "/sys/class/scsi_tape/" + node + "/device", *n};
    }
    if (const auto n = NumberAfter(name, "\\device\\floppy")) {
        const std::string node = "fd" + std::to_string(*n);
        if (Exists("/sys/block", node)) return LinuxNode{Kind::kFloppy, "/dev/" + node, "/sys/block/" + node, {}, *n};
    }
    if (const auto n = NumberAfter(name, "\\device\\scsiport")) {
        if (Exists("/sys/class/scsi_host", "host" + std::to_string(*n))) return LinuxNode{Kind::kPort, {}, {}, {}, *n};
    }
    return std::nullopt;
}

std::optional<SCSI_ADDRESS> ScsiAddressOf(LinuxSystem& system, const std::string& sysfs_scsi) {
    if (sysfs_scsi.empty()) return std::nullopt;
    const auto hctl = system.LinkName(sysfs_scsi);
    if (!hctl) return std::nullopt;
    unsigned parts[4] = {};
    const char* p = hctl->data();
    const char* end = p + hctl->size();
    for (int i = 0; i < 4; ++i) {
        const auto r = std::from_chars(p, end, parts[i]);
        if (r.ec != std::errc() || parts[i] > 255 || (i < 3 && (r.ptr == end || *r.ptr != ':'))) return std::nullopt;
        p = r.ptr + (i < 3 ? 1 : 0);
    }
    if (p != end) return std::nullopt;
    return SCSI_ADDRESS{sizeof(SCSI_ADDRESS), static_cast<UCHAR>(parts[0]), static_cast<UCHAR>(parts[1]),
                        static_cast<UCHAR>(parts[2]), static_cast<UCHAR>(parts[3])};
}

}  // namespace plat::device::detail
