// A private LUMETRA_ROOT (and boot id) for one test, removed afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

class ScopedRoot {
public:
    explicit ScopedRoot(const char* boot_id = "boot-1") {
        char pattern[] = "/tmp/lumetra-reg-XXXXXX";
        m_dir = mkdtemp(pattern);
        setenv("LUMETRA_ROOT", m_dir.c_str(), 1);
        SetBootId(boot_id);
    }
    ~ScopedRoot() {
        unsetenv("LUMETRA_ROOT");
        unsetenv("LUMETRA_BOOT_ID");
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    ScopedRoot(const ScopedRoot&) = delete;
    ScopedRoot& operator=(const ScopedRoot&) = delete;

    void SetBootId(const char* boot_id) { setenv("LUMETRA_BOOT_ID", boot_id, 1); }
    const std::string& Dir() const { return m_dir; }
    std::string MachineDb() const { return m_dir + "/hklm/registry.db"; }

private:
    std::string m_dir;
};
