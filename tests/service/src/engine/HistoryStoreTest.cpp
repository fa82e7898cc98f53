#include "engine/HistoryStore.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "EngineFixture.h"
#include "registry/registry.h"

namespace {

constexpr const char16_t* kParent = u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1";
constexpr const char16_t* kKey = u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1\\Smart";

// Disks 7.0, 7.1, ... whose generation-dependent fields all say
// `generation`, so a node read back shows whether it came whole from one save.
DeviceNode* MakeDisks(DWORD count, BYTE generation) {
    DeviceNode* head = nullptr;
    for (DWORD i = count; i-- > 0;) {
        auto* node = new DeviceNode;
        node->deviceType = 7;
        node->deviceNumber = i;
        node->collectTime = generation;
        std::fill(std::begin(node->smartData), std::end(node->smartData), generation);
        node->next = std::exchange(head, node);
    }
    return head;
}

void FreeList(DeviceNode* head) {
    while (head) delete std::exchange(head, head->next);
}

}  // namespace

class HistoryStoreTest : public EngineTest {
protected:
    HistoryStoreTest() {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParent, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
        RegCloseKey(key);
    }
    ~HistoryStoreTest() override { FreeList(m_loaded); }
    void SetValue(const char16_t* name, DWORD type, std::size_t size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
        const DeviceNodeImage image = WriteDeviceNode(DeviceNode{});
        std::vector<BYTE> data(image.begin(), image.end());
        data.resize(size, 0);
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, data.data(), DWORD(size)), 0);
        RegCloseKey(key);
    }
    std::vector<DeviceNode*> LoadAll() {
        FreeList(std::exchange(m_loaded, nullptr));
        EXPECT_TRUE(history::Load(kKey, &m_loaded));
        std::vector<DeviceNode*> nodes;
        for (DeviceNode* n = m_loaded; n; n = n->next) nodes.push_back(n);
        return nodes;
    }
    DeviceNode* m_loaded = nullptr;
};

TEST_F(HistoryStoreTest, TwoDisksRoundTripAndOtherValuesAreSkipped) {
    DeviceNode* disks = MakeDisks(2, 5);
    ASSERT_TRUE(history::Save(kKey, disks));
    SetValue(u"7.2", REG_BINARY, kDeviceNodeImageSize - 1);
    SetValue(u"7.3", REG_BINARY, 2000);  // larger than the read buffer
    SetValue(u"7.4", REG_SZ, kDeviceNodeImageSize);
    const auto nodes = LoadAll();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(WriteDeviceNode(*nodes[0]), WriteDeviceNode(*disks));
    EXPECT_EQ(WriteDeviceNode(*nodes[1]), WriteDeviceNode(*disks->next));
    FreeList(disks);
}

// A process killed in the middle of saving leaves every value whole: the one
// saved before or the one being saved, never a mix.
TEST_F(HistoryStoreTest, ProcessKilledWhileSavingLeavesWholeValues) {
    constexpr DWORD kDisks = 16;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (BYTE generation = 1;; generation = BYTE(generation % 250 + 1)) {
            DeviceNode* disks = MakeDisks(kDisks, generation);
            history::Save(kKey, disks);
            FreeList(disks);
            if (generation == 1 && write(ready[1], "s", 1) != 1) _exit(1);
        }
    }
    char signal = 0;
    const bool saved = read(ready[0], &signal, 1) == 1;
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    ASSERT_TRUE(saved);

    const auto nodes = LoadAll();
    ASSERT_EQ(nodes.size(), kDisks);
    for (const DeviceNode* n : nodes) {
        EXPECT_TRUE(std::all_of(std::begin(n->smartData), std::end(n->smartData),
                                [&](BYTE b) { return b == n->collectTime; }))
            << "value 7." << n->deviceNumber;
    }
}

// A restarted service answers from the stored data within 300 seconds; after
// a machine restart (another boot id) it reads the drive again.
TEST_F(HistoryStoreTest, RestartedEngineTakesOverStoredNodes) {
    for (const char* boot : {"boot-1", "boot-2"}) {
        Unload();  // its engine would store its nodes
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey);
        Load(AtaProfile(""));
        ASSERT_TRUE(m_engine->ReadAttributes(Ready()));
        m_engine.reset();  // stores the nodes
        m_root.SetBootId(boot);

        Load(AtaProfile(""));
        SmartDevice* d = Discover();
        ASSERT_NE(d, nullptr);
        const std::size_t before = AtaCount(kAtaDisk, READ_ATTRIBUTES);
        AdvanceSeconds(100);
        EXPECT_TRUE(m_engine->ReadAttributes(d));
        EXPECT_EQ(AtaCount(kAtaDisk, READ_ATTRIBUTES) > before, std::string(boot) == "boot-2") << boot;
        EXPECT_EQ(d->attributes[0].id, 1);
    }
}
