// The mount table of /proc/self/mountinfo: one line per mount, and which of
// them are block-device file systems (volumes), network file systems
// (redirector files) or neither (pseudo and memory file systems, container
// overlays, read-only images).
//
// ParseMountInfo takes the text as it is and never fails: a line that does
// not have the documented shape is skipped, so a fuzz target can call it
// with any bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kern::real {

struct MountEntry {
    std::uint32_t id = 0;
    std::uint32_t parent = 0;
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::string root;         // the directory of the file system mounted here
    std::string mount_point;  // octal escapes (\040 ...) undone
    std::string fs_type;      // "ext4", "nfs4", "fuse.sshfs"
    std::string source;       // "/dev/sda1", "server:/export", "//server/share"
};

std::vector<MountEntry> ParseMountInfo(std::string_view text);

// "\040" -> " ", "\011" -> tab, "\134" -> "\"; anything else stays.
std::string UnescapeMountField(std::string_view field);

enum class MountKind { Volume, Network, Other };

// Volumes need a block device (a real major number, or a /dev source for
// file systems such as btrfs that report an anonymous device); read-only
// images (squashfs, erofs) are not volumes. Network file systems are named
// by type (nfs, cifs, ...) or are FUSE file systems that reach a host.
MountKind KindOfMount(const MountEntry& entry);

// The UNC-style name of a network mount: "server:/export" -> "\\server\export",
// "//server/share" -> "\\server\share", "user@host:dir" -> "\\host\dir".
// Empty when the source names no host.
std::string UncNameOf(const MountEntry& entry);

}  // namespace kern::real
