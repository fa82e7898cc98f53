// State directory rules; see paths.h.
#include "registry/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace plat {
namespace {

constexpr const char* kProduct = "zelmor-lumetra";

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeDirectory() {
    std::string home = Env("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string ReadProcBootId() {
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(in, id);
    return id;
}

}  // namespace

std::string StateRoot() { return Env("LUMETRA_ROOT"); }

std::string MachineStoreDirectory() {
    const std::string root = StateRoot();
    if (!root.empty()) return root + "/hklm";
    return std::string("/var/lib/") + kProduct;
}

std::string UserStoreDirectory() {
    const std::string root = StateRoot();
    if (!root.empty()) return root + "/hkcu";
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty()) config = HomeDirectory() + "/.config";
    return config + "/" + kProduct;
}

std::string RuntimeDirectory() {
    const std::string root = StateRoot();
    if (!root.empty()) return root + "/run";
    if (geteuid() == 0) return std::string("/run/") + kProduct;
    const std::string runtime = Env("XDG_RUNTIME_DIR");
    if (!runtime.empty()) return runtime + "/" + kProduct;
    return std::string("/tmp/") + kProduct + "-" + std::to_string(geteuid());
}

std::string BootId() {
    const std::string forced = Env("LUMETRA_BOOT_ID");
    if (!forced.empty()) return forced;
    static const std::string boot = ReadProcBootId();  // fixed while the process runs
    return boot;
}

}  // namespace plat
