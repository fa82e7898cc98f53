// The autostart value in a private registry, and the XDG autostart entry
// the platform mirrors from it.
#include "commands/AutostartValue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/text.h"
#include "process/autostart.h"
#include "registry/registry.h"
#include "resource/module.h"
#include "scoped_root.h"

namespace {

std::vector<BYTE> RawRunValue(const std::u16string& name, DWORD* type) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, cmd::kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    std::vector<BYTE> data(1024, 0xCC);
    DWORD size = DWORD(data.size());
    const LONG result = RegQueryValueExW(key, name.c_str(), nullptr, type, data.data(), &size);
    RegCloseKey(key);
    data.resize(result == ERROR_SUCCESS ? size : 0);
    return data;
}

std::vector<std::filesystem::path> Entries() {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(plat::process::AutostartDirectory(), ec))
        files.push_back(e.path());
    return files;
}

TEST(AutostartValue, WritesTheProgramPathUnderString206AndDeletesIt) {
    ScopedRoot root;
    const std::u16string library = plat::Utf8ToUtf16(LUMEX_RESOURCES);
    HMODULE resources = LoadLibraryW(library.c_str());
    ASSERT_NE(resources, nullptr);
    const std::u16string name = cmd::AutostartValueName(resources);
    FreeLibrary(resources);
    ASSERT_FALSE(name.empty());
    const std::u16string path = u"/usr/bin/lumex";

    EXPECT_FALSE(cmd::IsAutostartRegistered(name));
    ASSERT_TRUE(cmd::RegisterAutostart(name, path)) << "the Run key is created";
    EXPECT_TRUE(cmd::IsAutostartRegistered(name));
    DWORD type = 0;
    const std::vector<BYTE> data = RawRunValue(name, &type);
    EXPECT_EQ(type, DWORD(REG_SZ));
    ASSERT_EQ(data.size(), path.size() * 2) << "no terminating zero";
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(data.data()), path.size()), path);

    const auto files = Entries();
    ASSERT_EQ(files.size(), 1u);
    std::ifstream in(files[0]);
    std::stringstream entry;
    entry << in.rdbuf();
    EXPECT_NE(entry.str().find("Exec=/usr/bin/lumex\n"), std::string::npos) << entry.str();

    ASSERT_TRUE(cmd::UnregisterAutostart(name));
    EXPECT_FALSE(cmd::IsAutostartRegistered(name));
    EXPECT_TRUE(Entries().empty()) << "the entry goes with the value";
    EXPECT_FALSE(cmd::UnregisterAutostart(name)) << "nothing left to delete";
}

TEST(AutostartValue, TheProgramPathIsThisProgram) {
    const std::string path = plat::Utf16ToUtf8(cmd::ProgramPath());
    EXPECT_NE(path.find("test_lumex_commands"), std::string::npos) << path;
}

}  // namespace
