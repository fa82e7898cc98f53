// lumetra-reg from the outside: the program is run as a person would, under a
// private LUMETRA_ROOT, and its output and exit codes are checked.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "base/win_errors.h"
#include "registry/registry.h"
#include "scoped_root.h"

namespace {

struct Result {
    int exit_code = -1;
    std::string out;
};

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

Result RunTool(const std::vector<std::string>& args) {
    std::string command = LUMETRA_REG_PATH;
    for (const auto& arg : args) command += " " + Quote(arg);
    command += " 2>/dev/null";
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
    const int status = pclose(pipe);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

constexpr const char* kKey = "HKLM\\SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1";

TEST(LumetraReg, SetReadBackExportDelete) {
    ScopedRoot root;
    ASSERT_EQ(RunTool({"set", kKey, "__LogLevel__", "dword", "0x2a"}).exit_code, 0);
    ASSERT_EQ(RunTool({"set", kKey, "__LogFile__", "sz", "C:\\logs\\gui_%D_%P.log"}).exit_code, 0);
    ASSERT_EQ(RunTool({"set", std::string(kKey) + "\\Smart", "7.0", "binary", "01 02 ff"}).exit_code, 0);

    Result query = RunTool({"query", kKey, "__loglevel__"});
    EXPECT_EQ(query.exit_code, 0);
    EXPECT_EQ(query.out, "    __LogLevel__    REG_DWORD    0x0000002a (42)\n");

    // What the tool wrote is what the registry calls read.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    WCHAR path[64] = {};
    DWORD size = sizeof path, type = 0;
    ASSERT_EQ(RegQueryValueExW(key, u"__LogFile__", nullptr, &type, reinterpret_cast<BYTE*>(path), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::u16string(path), u"C:\\logs\\gui_%D_%P.log");
    EXPECT_EQ(size, 2 * (std::u16string(path).size() + 1)) << "stored with its terminator";
    RegCloseKey(key);

    const Result exported = RunTool({"export", "hklm\\software\\zelmor"});
    EXPECT_EQ(exported.exit_code, 0);
    EXPECT_NE(exported.out.find("[HKLM\\software\\zelmor\\Zelmor Lumetra\\3.1]\n"
                                "\"__LogLevel__\"=dword:0000002a\n"
                                "\"__LogFile__\"=\"C:\\\\logs\\\\gui_%D_%P.log\"\n"),
              std::string::npos)
        << exported.out;
    EXPECT_NE(exported.out.find("\\3.1\\Smart]\n\"7.0\"=hex:01,02,ff\n"), std::string::npos) << exported.out;

    EXPECT_EQ(RunTool({"delete", kKey, "__LogLevel__"}).exit_code, 0);
    EXPECT_EQ(RunTool({"query", kKey, "__LogLevel__"}).exit_code, 1);
    EXPECT_EQ(RunTool({"delete", "HKLM\\SOFTWARE\\Zelmor"}).exit_code, 0);
    EXPECT_EQ(RunTool({"query", kKey}).exit_code, 1);
    EXPECT_EQ(RunTool({"export", kKey}).exit_code, 1);
}

TEST(LumetraReg, VolatileKeyIsGoneAfterTheBootIdChanges) {
    ScopedRoot root;
    ASSERT_EQ(RunTool({"set", "HKCU\\Kept", "v", "dword", "1"}).exit_code, 0);
    ASSERT_EQ(RunTool({"set", "--volatile", "HKCU\\Kept\\Fresh", "v", "dword", "2"}).exit_code, 0);
    EXPECT_EQ(RunTool({"query", "HKCU\\Kept\\Fresh", "v"}).exit_code, 0);

    root.SetBootId("boot-2");
    EXPECT_EQ(RunTool({"query", "HKCU\\Kept\\Fresh"}).exit_code, 1);
    const Result kept = RunTool({"query", "HKCU\\Kept"});
    EXPECT_EQ(kept.exit_code, 0);
    EXPECT_EQ(kept.out, "HKCU\\Kept\n    v    REG_DWORD    0x00000001 (1)\n");
}

TEST(LumetraReg, CreateMakesTheKeyAndKeepsWhatIsThere) {
    ScopedRoot root;
    ASSERT_EQ(RunTool({"create", kKey}).exit_code, 0);
    EXPECT_EQ(RunTool({"query", kKey}).exit_code, 0) << "an empty key exists";
    ASSERT_EQ(RunTool({"set", kKey, "v", "dword", "7"}).exit_code, 0);
    ASSERT_EQ(RunTool({"create", kKey}).exit_code, 0);
    EXPECT_EQ(RunTool({"query", kKey, "v"}).exit_code, 0) << "creating an existing key keeps its values";
    ASSERT_EQ(RunTool({"create", "--volatile", "HKCU\\Gone"}).exit_code, 0);
    root.SetBootId("boot-2");
    EXPECT_EQ(RunTool({"query", "HKCU\\Gone"}).exit_code, 1);
}

TEST(LumetraReg, BadUsageExitsWithTwo) {
    ScopedRoot root;
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"query"},
        {"frobnicate", "HKLM\\X"},
        {"query", "HKXX\\X"},
        {"set", "HKLM\\X", "v", "dword", "12x"},
        {"set", "HKLM\\X", "v", "dword", "0x100000000"},
        {"set", "HKLM\\X", "v", "dword", "-1"},
        {"set", "HKLM\\X", "v", "binary", "0g"},
        {"set", "HKLM\\X", "v", "binary", "012"},
        {"set", "HKLM\\X", "v", "qword", "1"},
        {"set", "HKLM\\X", "v", "dword"},
        {"delete", "HKLM"},
        {"--bogus"},
        {"query", "--bogus", "HKLM\\X"},
        {"create", "--volatile", "--bogus", "HKLM\\X"},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& arg : args) shown += arg + " ";
        EXPECT_EQ(RunTool(args).exit_code, 2) << shown;
    }
    EXPECT_EQ(RunTool({"--help"}).exit_code, 0);
    EXPECT_EQ(RunTool({"query", "--help"}).exit_code, 0);
    EXPECT_EQ(RunTool({"set", "HKLM\\X", "v", "sz", "--help"}).exit_code, 0) << "a value may begin with a dash";
    EXPECT_EQ(RunTool({"query", "HKLM\\X", "v"}).exit_code, 0);
    ASSERT_EQ(RunTool({"delete", "HKLM\\X"}).exit_code, 0);
    EXPECT_EQ(RunTool({"query", "HKLM\\X"}).exit_code, 1) << "nothing was written by the bad calls";
}

}  // namespace
