// The machine's own system calls behind LinuxSystem.
#include <dirent.h>
#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "device/linux_backend.h"

namespace plat::device {
namespace {

class RealSystem final : public LinuxSystem {
public:
    int Open(const std::string& path, int flags) override {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
        return fd >= 0 ? fd : -errno;
    }
    void Close(int fd) override { ::close(fd); }
    int SgIo(int fd, sg_io_hdr* request) override { return ::ioctl(fd, SG_IO, request) == 0 ? 0 : -errno; }
    std::vector<std::string> ListDirectory(const std::string& path) override {
        std::vector<std::string> names;
        DIR* dir = ::opendir(path.c_str());
        if (!dir) return names;
        while (const dirent* e = ::readdir(dir))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        ::closedir(dir);
        return names;
    }
    std::optional<std::string> ReadFile(const std::string& path) override {
        std::ifstream file(path);
        if (!file) return std::nullopt;
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    std::optional<std::string> LinkName(const std::string& path) override {
        char target[4096];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0) return std::nullopt;
        const std::string s(target, static_cast<std::size_t>(n));
        return s.substr(s.find_last_of('/') + 1);
    }
};

}  // namespace

std::shared_ptr<LinuxSystem> RealLinuxSystem() {
    static auto system = std::make_shared<RealSystem>();
    return system;
}

}  // namespace plat::device
