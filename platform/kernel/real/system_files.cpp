#include "kernel/real/system_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace kern::real {

SystemFiles::SystemFiles(std::string root) : m_root(std::move(root)) {
    while (!m_root.empty() && m_root.back() == '/') m_root.pop_back();
}

std::string SystemFiles::RootFromEnvironment() {
    const char* env = std::getenv("LUMETRA_SYSTEM_ROOT");
    return env && *env ? env : "/";
}

std::string SystemFiles::Path(std::string_view absolute) const { return m_root + std::string(absolute); }

std::optional<std::string> SystemFiles::Read(std::string_view absolute) const {
    // Files of /proc and /sys report no size: read until the end.
    const int fd = ::open(Path(absolute).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buffer[8192];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, std::size_t(n));
    ::close(fd);
    if (n < 0) return std::nullopt;
    return text;
}

std::optional<std::string> SystemFiles::ReadLine(std::string_view absolute) const {
    auto text = Read(absolute);
    if (!text) return std::nullopt;
    text->resize(std::min(text->find('\n'), text->size()));
    return text;
}

std::vector<std::string> SystemFiles::List(std::string_view absolute) const {
    std::vector<std::string> names;
    DIR* dir = ::opendir(Path(absolute).c_str());
    if (!dir) return names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool SystemFiles::Exists(std::string_view absolute) const {
    struct stat st;
    return ::stat(Path(absolute).c_str(), &st) == 0;
}

std::optional<std::string> SystemFiles::LinkTarget(std::string_view absolute) const {
    char target[4096];
    const ssize_t n = ::readlink(Path(absolute).c_str(), target, sizeof target);
    if (n <= 0) return std::nullopt;
    return std::string(target, std::size_t(n));
}

}  // namespace kern::real
