// Several processes on one root: no lost or torn values, and a writer killed
// in the middle leaves every value old or new.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/win_errors.h"
#include "child_process.h"
#include "registry/registry.h"
#include "scoped_root.h"

namespace {

constexpr int kValues = 40;
constexpr DWORD kValueSize = 1320;
constexpr int kRounds = 10;

std::u16string ValueName(char16_t prefix, int i) {
    return std::u16string{prefix, u'.', char16_t(u'0' + i % 10), char16_t(u'A' + i / 10)};
}

HKEY OpenShared(REGSAM access) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Shared", 0, nullptr, 0, access, nullptr, &key, nullptr);
    return key;
}

// A value whose every byte is the generation that wrote it.
LONG WriteGeneration(HKEY key, const std::u16string& name, BYTE generation) {
    const std::vector<BYTE> data(kValueSize, generation);
    return RegSetValueExW(key, name.c_str(), 0, REG_BINARY, data.data(), kValueSize);
}

// Reads a value back; -1 when it is missing or torn (mixed bytes, wrong size).
int ReadGeneration(HKEY key, const std::u16string& name) {
    std::vector<BYTE> data(kValueSize + 8);
    DWORD size = DWORD(data.size()), type = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return -1;
    if (type != REG_BINARY || size != kValueSize) return -1;
    for (DWORD i = 1; i < size; ++i) {
        if (data[i] != data[0]) return -1;
    }
    return data[0];
}

TEST(RegistryConcurrency, TwoProcessesWritingOneRootLoseNothing) {
    ScopedRoot root;
    const auto writer = [](char16_t prefix) {
        return [prefix] {
            HKEY key = OpenShared(KEY_ALL_ACCESS);
            for (int generation = 1; generation <= kRounds; ++generation) {
                for (int i = 0; i < kValues; ++i) {
                    if (WriteGeneration(key, ValueName(prefix, i), BYTE(generation)) != ERROR_SUCCESS) return 1;
                }
            }
            return 0;
        };
    };
    // Both children run at once: each is forked before the other is waited for.
    const pid_t first = fork();
    if (first == 0) _exit(writer(u'A')());
    const int second = RunInChild(writer(u'B'));
    int status = 0;
    waitpid(first, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(second, 0);

    HKEY key = OpenShared(KEY_READ);
    for (char16_t prefix : {u'A', u'B'}) {
        for (int i = 0; i < kValues; ++i) EXPECT_EQ(ReadGeneration(key, ValueName(prefix, i)), kRounds) << i;
    }
    RegCloseKey(key);
}

TEST(RegistryConcurrency, WriterKilledMidLoopLeavesOldOrNewValues) {
    ScopedRoot root;
    int progress[2];
    ASSERT_EQ(pipe(progress), 0);
    const pid_t writer = fork();
    if (writer == 0) {
        close(progress[0]);
        HKEY key = OpenShared(KEY_ALL_ACCESS);
        for (int generation = 1;; generation = generation % 250 + 1) {
            for (int i = 0; i < kValues; ++i) WriteGeneration(key, ValueName(u'K', i), BYTE(generation));
            const char tick = 1;
            if (write(progress[1], &tick, 1) != 1) _exit(1);
        }
    }
    close(progress[1]);
    // Two full rounds, then the kill lands somewhere inside a later round.
    char tick;
    ASSERT_EQ(read(progress[0], &tick, 1), 1);
    ASSERT_EQ(read(progress[0], &tick, 1), 1);
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    close(progress[0]);

    HKEY key = OpenShared(KEY_ALL_ACCESS);
    std::vector<int> generations;
    for (int i = 0; i < kValues; ++i) generations.push_back(ReadGeneration(key, ValueName(u'K', i)));
    // Every value is whole, and the writer's order shows: a prefix of the
    // values carries the newer generation, the rest the one before it.
    for (int i = 0; i < kValues; ++i) {
        ASSERT_GE(generations[i], 1) << "value " << i << " is missing or torn";
        EXPECT_TRUE(generations[i] == generations[0] || generations[i] + 1 == generations[0] ||
                    (generations[0] == 1 && generations[i] == 250))
            << "value " << i << ": " << generations[i] << " after " << generations[0];
    }
    // The store takes new writes after the crash.
    EXPECT_EQ(WriteGeneration(key, ValueName(u'K', 0), 7), ERROR_SUCCESS);
    EXPECT_EQ(ReadGeneration(key, ValueName(u'K', 0)), 7);
    RegCloseKey(key);
}

}  // namespace
