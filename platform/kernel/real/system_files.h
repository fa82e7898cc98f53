// The files of the running Linux system that the real machine reads
// (/proc, /sys, /run/udev), below a root directory. The root is "/" on the
// machine itself; tests and recorded machines point it at a directory that
// holds the same files (LUMETRA_SYSTEM_ROOT for lumetra-kernel --real).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kern::real {

class SystemFiles {
public:
    explicit SystemFiles(std::string root = "/");

    // The root from $LUMETRA_SYSTEM_ROOT, "/" when unset or empty.
    static std::string RootFromEnvironment();

    bool Live() const { return m_root.empty(); }
    // `absolute` ("/proc/diskstats") below the root.
    std::string Path(std::string_view absolute) const;
    std::optional<std::string> Read(std::string_view absolute) const;
    // The first line of a small file, without its line end.
    std::optional<std::string> ReadLine(std::string_view absolute) const;
    // Entry names (no "." or ".."), sorted; empty when unreadable.
    std::vector<std::string> List(std::string_view absolute) const;
    bool Exists(std::string_view absolute) const;
    // The target of a symbolic link as stored.
    std::optional<std::string> LinkTarget(std::string_view absolute) const;

private:
    std::string m_root;  // without a trailing slash; empty for "/"
};

}  // namespace kern::real
