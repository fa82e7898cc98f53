// A store file that is not a database, and a store this process may not write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/win_errors.h"
#include "child_process.h"
#include "registry/registry.h"
#include "scoped_root.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

LONG SetDword(HKEY root, const char16_t* path, DWORD value) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(key, u"v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return rc;
}

TEST(RegistryRecovery, FileThatIsNotADatabaseIsMovedAsideAndKept) {
    ScopedRoot root;
    const std::string garbage(8192, 'x');
    fs::create_directories(root.Dir() + "/hklm");
    std::ofstream(root.MachineDb(), std::ios::binary) << garbage;

    ASSERT_EQ(SetDword(HKEY_LOCAL_MACHINE, u"SOFTWARE\\After", 5), ERROR_SUCCESS);

    int moved = 0;
    for (const auto& entry : fs::directory_iterator(root.Dir() + "/hklm")) {
        const std::string name = entry.path().filename();
        if (name.rfind("registry.db.notadb-", 0) != 0 || name.find("-wal") != std::string::npos) continue;
        ++moved;
        EXPECT_EQ(ReadAll(entry.path()), garbage) << "the unreadable file is kept byte for byte";
    }
    EXPECT_EQ(moved, 1);
}

TEST(RegistryRecovery, FullAccessToAStoreThatCannotBeWrittenIsDenied) {
    ScopedRoot root;
    // The store is made by another process, so this one opens it afresh below.
    ASSERT_EQ(RunInChild([] { return int(SetDword(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Zelmor", 1)); }), 0);
    const fs::path store = root.Dir() + "/hklm";
    fs::permissions(root.Dir(), fs::perms(0755));

    const auto reader = [] {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Zelmor", 0, KEY_ALL_ACCESS, &key) != ERROR_ACCESS_DENIED)
            return 10;
        if (SetDword(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Zelmor", 2) != ERROR_ACCESS_DENIED) return 11;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Zelmor", 0, KEY_READ, &key) != ERROR_SUCCESS) return 12;
        DWORD value = 0, size = sizeof value;
        const LONG rc = RegQueryValueExW(key, u"v", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS && value == 1 ? 0 : 13;
    };
    if (geteuid() == 0) {
        // Root may write anything: read as an unprivileged user instead.
        EXPECT_EQ(RunInChild([&] { return setgid(65534) == 0 && setuid(65534) == 0 ? reader() : 20; }), 0);
    } else {
        fs::permissions(store, fs::perms(0555));
        fs::permissions(store / "registry.db", fs::perms(0444));
        EXPECT_EQ(RunInChild(reader), 0);
        fs::permissions(store, fs::perms(0755));
    }
}

}  // namespace
