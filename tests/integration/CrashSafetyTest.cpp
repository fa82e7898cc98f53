// Crash safety of the stores: a writer killed with SIGKILL at a random
// point, 100 times over, leaves every value it was writing as its old or its
// new content (a whole generation, never torn), and the stores open and
// read afterwards. The writers are the history save of the service, the
// settings save of the GUI (store_writer) and lumetra-reg itself. Killing at
// a random moment needs real time; the delays are seeded, so every run
// tries the same moments.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "GenerationRecords.h"
#include "SettingsStore.h"
#include "archive/ZmArchive.h"
#include "engine/HistoryStore.h"
#include "registry/registry.h"
#include "registry/scoped_root.h"

extern char** environ;

namespace {

constexpr int kRounds = 100;

class CrashSafety : public ::testing::Test {
protected:
    // Starts `argv`; when `wait_ready`, waits until it printed "ready".
    // Then kills it after a random delay of up to `max_delay_us`.
    void RunAndKill(std::vector<std::string> argv, bool wait_ready, unsigned max_delay_us) {
        int out[2];
        ASSERT_EQ(::pipe(out), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (wait_ready) {
            pollfd p{out[0], POLLIN, 0};
            char line[16] = {};
            ASSERT_EQ(::poll(&p, 1, 30000), 1) << "the writer never got ready";
            ASSERT_GT(::read(out[0], line, sizeof line - 1), 0);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<unsigned>(0, max_delay_us)(m_random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(out[0]);
    }

    void SetGeneration(DWORD generation) {
        ::setenv("CRASH_SAFETY_GENERATION", std::to_string(generation).c_str(), 1);
    }

    ScopedRoot m_root;
    std::mt19937 m_random{24};
};

TEST_F(CrashSafety, AKilledHistorySaveLeavesEveryNodeWhole) {
    std::array<DWORD, crashsafety::kHistoryNodes> stored{};
    for (int round = 0; round < kRounds; ++round) {
        SetGeneration(*std::max_element(stored.begin(), stored.end()) + 1);
        ASSERT_NO_FATAL_FAILURE(RunAndKill({STORE_WRITER_PATH, "history"}, true, 20000));
        DeviceNode* nodes = nullptr;
        ASSERT_TRUE(history::Load(history::kHistoryKey, &nodes)) << "the store opens after round " << round;
        std::size_t count = 0;
        for (DeviceNode* n = nodes; n; ++count) {
            ASSERT_LT(n->deviceNumber, crashsafety::kHistoryNodes);
            const DWORD generation = crashsafety::NodeGeneration(*n);
            EXPECT_NE(generation, 0u) << "node " << n->deviceNumber << " torn in round " << round;
            EXPECT_GE(generation, stored[n->deviceNumber]) << "node " << n->deviceNumber << " went back";
            stored[n->deviceNumber] = generation;
            DeviceNode* next = n->next;
            delete n;
            n = next;
        }
        EXPECT_EQ(count, crashsafety::kHistoryNodes) << "every node kept its size in round " << round;
    }
}

// The generation a stored settings value carries; 0 when torn or missing.
DWORD StoredSettingsGeneration(const char16_t* name, DWORD size) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, settings::kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    std::vector<BYTE> data(256);
    DWORD type = 0;
    DWORD length = DWORD(data.size());
    const LONG result = RegQueryValueExW(key, name, nullptr, &type, data.data(), &length);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || length != size) return 0;
    if (size == settings::kPlacementSize) {
        WINDOWPLACEMENT p;
        std::memcpy(&p, data.data(), sizeof p);
        const UINT g = p.flags;
        const bool whole = p.showCmd == g && p.rcNormalPosition.left == LONG(g) && p.rcNormalPosition.top == LONG(g) &&
                           p.rcNormalPosition.right == LONG(g) && p.rcNormalPosition.bottom == LONG(g);
        return whole ? g : 0;
    }
    CZmArchive archive(data.data(), length);
    GuiSettings s;
    settings::ReadBin(archive, s);
    const DWORD g = s.Horizontal;
    for (const settings::BinField& field : settings::kBinLayout) {
        if (field.wide ? s.*field.wide != g : s.*field.narrow != BYTE(g)) return 0;
    }
    return g;
}

TEST_F(CrashSafety, AKilledSettingsSaveLeavesEveryValueWhole) {
    DWORD bin = 0, placement = 0;
    for (int round = 0; round < kRounds; ++round) {
        SetGeneration(std::max(bin, placement) + 1);
        ASSERT_NO_FATAL_FAILURE(RunAndKill({STORE_WRITER_PATH, "settings"}, true, 20000));
        const DWORD new_bin = StoredSettingsGeneration(u"bin", settings::kBinSize);
        const DWORD new_placement = StoredSettingsGeneration(u"Placement", settings::kPlacementSize);
        EXPECT_NE(new_bin, 0u) << "\"bin\" torn in round " << round;
        EXPECT_NE(new_placement, 0u) << "\"Placement\" torn in round " << round;
        EXPECT_GE(new_bin, bin);
        EXPECT_GE(new_placement, placement);
        bin = new_bin;
        placement = new_placement;
    }
}

// lumetra-reg's value of round g: 1000 + 97 * (g % 11) bytes of g's low byte.
std::vector<BYTE> RegValueOf(DWORD generation) {
    return std::vector<BYTE>(1000 + 97 * (generation % 11), BYTE(generation));
}

std::string Hex(const std::vector<BYTE>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (BYTE b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 15]);
    }
    return text;
}

TEST_F(CrashSafety, AKilledLumetraRegSetLeavesTheOldOrTheNewValue) {
    DWORD stored = 0;  // the generation the value holds; 0: none yet
    for (DWORD generation = 1; generation <= kRounds; ++generation) {
        ASSERT_NO_FATAL_FAILURE(RunAndKill({LUMETRA_REG_PATH, "set", "HKCU\\SOFTWARE\\CrashSafety", "blob", "binary",
                                            Hex(RegValueOf(generation))},
                                           false, 15000));
        HKEY key = nullptr;
        const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\CrashSafety", 0, KEY_READ, &key);
        if (stored == 0 && opened == ERROR_FILE_NOT_FOUND) continue;  // killed before its first write
        ASSERT_EQ(opened, ERROR_SUCCESS) << "the store opens after round " << generation;
        std::vector<BYTE> data(4096);
        DWORD type = 0;
        DWORD length = DWORD(data.size());
        const LONG read = RegQueryValueExW(key, u"blob", nullptr, &type, data.data(), &length);
        RegCloseKey(key);
        if (stored == 0 && read == ERROR_FILE_NOT_FOUND) continue;
        ASSERT_EQ(read, ERROR_SUCCESS);
        data.resize(length);
        if (data == RegValueOf(generation)) stored = generation;
        else EXPECT_TRUE(stored != 0 && data == RegValueOf(stored)) << "neither old nor new in round " << generation;
    }
    EXPECT_GT(stored, 0u) << "some writes completed";
}

}  // namespace
