#include "engine/HistoryStore.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "EngineFixture.h"
#include "registry/registry.h"

namespace {

constexpr const char16_t* kParent = u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1";
constexpr const char16_t* kKey = u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1\\Smart";

// A node whose every generation-dependent field says `generation`, so a
// node read back shows whether it came whole from one save.
DeviceNode* MakeNode(DWORD type, DWORD number, BYTE generation) {
    auto* node = new DeviceNode;
    node->deviceType = type;
    node->deviceNumber = number;
    node->collectTime = node->shortTestTime = generation;
    std::fill(std::begin(node->smartData), std::end(node->smartData), generation);
    node->countersStamp = node->healthStamp = plat::U64ToFileTime(plat::CurrentClock().NowFileTime());
    node->selfTestStart = FILETIME{1, 1};
    return node;
}

std::vector<DeviceNode*> Nodes(DeviceNode* head) {
    std::vector<DeviceNode*> out;
    for (DeviceNode* n = head; n; n = n->next) out.push_back(n);
    return out;
}

void FreeList(DeviceNode* head) {
    while (head) delete std::exchange(head, head->next);
}

// `count` disks 7.0, 7.1, ... of one generation, linked.
DeviceNode* MakeDisks(DWORD count, BYTE generation) {
    DeviceNode* head = nullptr;
    for (DWORD i = count; i-- > 0;) {
        DeviceNode* node = MakeNode(7, i, generation);
        node->next = head;
        head = node;
    }
    return head;
}

bool IsWhole(const DeviceNode& n) {
    return n.shortTestTime == n.collectTime &&
           std::all_of(std::begin(n.smartData), std::end(n.smartData), [&](BYTE b) { return b == n.collectTime; });
}

}  // namespace

class HistoryStoreTest : public EngineTest {
protected:
    void CreateParent() {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParent, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    bool KeyExists(const char16_t* path) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    void SetValue(const char16_t* name, DWORD type, const std::vector<BYTE>& data) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, data.data(), DWORD(data.size())), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    // Loads the store; the nodes are freed with the test.
    std::vector<DeviceNode*> LoadAll() {
        FreeList(m_loaded);
        m_loaded = nullptr;
        EXPECT_TRUE(history::Load(kKey, &m_loaded));
        return Nodes(m_loaded);
    }
    ~HistoryStoreTest() override { FreeList(m_loaded); }

    DeviceNode* m_loaded = nullptr;
};

TEST_F(HistoryStoreTest, MissingParentKeyFailsBothWays) {
    DeviceNode* disks = MakeDisks(1, 1);
    EXPECT_FALSE(history::Save(kKey, disks));
    DeviceNode* head = nullptr;
    EXPECT_FALSE(history::Load(kKey, &head));
    EXPECT_EQ(head, nullptr);
    EXPECT_FALSE(KeyExists(kKey));
    FreeList(disks);
}

TEST_F(HistoryStoreTest, TwoDisksRoundTripAsTwoValues) {
    CreateParent();
    DeviceNode* disks = MakeDisks(2, 5);
    disks->next->model[0] = u'M';
    ASSERT_TRUE(history::Save(kKey, disks));

    std::vector<BYTE> data(kDeviceNodeImageSize);
    DWORD size = DWORD(data.size());
    DWORD type = 0;
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, u"7.1", nullptr, &type, data.data(), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, kDeviceNodeImageSize);

    LoadAll();  // creates "Fresh"
    const auto nodes = LoadAll();
    ASSERT_EQ(nodes.size(), 2u);
    for (DWORD i = 0; i < 2; ++i) {
        EXPECT_EQ(WriteDeviceNode(*nodes[i]), WriteDeviceNode(i == 0 ? *disks : *disks->next));
        EXPECT_FALSE(nodes[i]->IsBusy());
        EXPECT_EQ(nodes[i]->handle, nullptr);
    }
    EXPECT_EQ(nodes[1]->model[0], u'M');
    FreeList(disks);
}

TEST_F(HistoryStoreTest, ValuesOfAnotherTypeOrSizeAreSkipped) {
    CreateParent();
    const DeviceNodeImage good = WriteDeviceNode(*std::unique_ptr<DeviceNode>(MakeNode(7, 3, 9)));
    SetValue(u"7.0", REG_BINARY, std::vector<BYTE>(kDeviceNodeImageSize - 1, 9));
    SetValue(u"7.1", REG_BINARY, std::vector<BYTE>(kDeviceNodeImageSize + 1, 9));
    SetValue(u"7.2", REG_BINARY, std::vector<BYTE>(2000, 9));  // larger than the read buffer
    SetValue(u"7.3", REG_BINARY, std::vector<BYTE>(good.begin(), good.end()));
    SetValue(u"7.4", REG_SZ, std::vector<BYTE>(kDeviceNodeImageSize, 0x41));

    const auto nodes = LoadAll();
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0]->deviceNumber, 3u);
}

TEST_F(HistoryStoreTest, LoadRefusesAListThatIsNotEmpty) {
    CreateParent();
    DeviceNode* disks = MakeDisks(1, 1);
    ASSERT_TRUE(history::Save(kKey, disks));
    DeviceNode* head = disks;
    EXPECT_FALSE(history::Load(kKey, &head));
    EXPECT_EQ(head->next, nullptr);
    FreeList(disks);
}

// The stamps survive a restart of the service, not a restart of the machine.
TEST_F(HistoryStoreTest, FreshDecidesWhetherStampsSurvive) {
    CreateParent();
    DeviceNode* disks = MakeDisks(1, 1);
    ASSERT_TRUE(history::Save(kKey, disks));
    const FILETIME stamp = disks->countersStamp;
    FreeList(disks);

    struct Case {
        const char* boot;
        bool stampsKept;
    } cases[] = {
        {"boot-1", false},  // the first start after the boot creates "Fresh"
        {"boot-1", true},   // a service restart finds it
        {"boot-2", false},  // a machine restart dropped it
        {"boot-2", true},
    };
    for (const Case& c : cases) {
        m_root.SetBootId(c.boot);
        const auto nodes = LoadAll();
        ASSERT_EQ(nodes.size(), 1u);
        EXPECT_EQ(plat::FileTimeToU64(nodes[0]->countersStamp), c.stampsKept ? plat::FileTimeToU64(stamp) : 0u)
            << c.boot;
        EXPECT_EQ(plat::FileTimeToU64(nodes[0]->healthStamp), plat::FileTimeToU64(nodes[0]->countersStamp));
    }
}

// A process killed in the middle of saving leaves every value whole: the one
// saved before or the one being saved, never a mix.
TEST_F(HistoryStoreTest, ProcessKilledWhileSavingLeavesWholeValues) {
    CreateParent();
    constexpr DWORD kDisks = 16;
    DeviceNode* first = MakeDisks(kDisks, 0);
    ASSERT_TRUE(history::Save(kKey, first));
    FreeList(first);

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        for (BYTE generation = 1;; generation = BYTE(generation % 250 + 1)) {
            DeviceNode* disks = MakeDisks(kDisks, generation);
            history::Save(kKey, disks);
            FreeList(disks);
            if (generation == 1 && write(ready[1], "s", 1) != 1) _exit(1);
        }
    }
    close(ready[1]);
    char signal = 0;
    const bool saved = read(ready[0], &signal, 1) == 1;
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(ready[0]);
    ASSERT_TRUE(saved);
    EXPECT_TRUE(WIFSIGNALED(status));

    const auto nodes = LoadAll();
    ASSERT_EQ(nodes.size(), kDisks);
    for (DWORD i = 0; i < kDisks; ++i) {
        EXPECT_EQ(nodes[i]->deviceNumber, i);
        EXPECT_TRUE(IsWhole(*nodes[i])) << "value 7." << i;
    }
}

// A restarted service answers from the stored data within 300 seconds; after
// a machine restart it reads the drive again.
TEST_F(HistoryStoreTest, RestartedEngineTakesOverStoredNodes) {
    CreateParent();
    for (const char* boot : {"boot-1", "boot-2"}) {
        Unload();  // its engine would store its nodes
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey);
        Load(AtaProfile(""));
        SmartDevice* d = Ready();
        ASSERT_NE(d, nullptr);
        EXPECT_TRUE(m_engine->ReadAttributes(d));
        m_engine.reset();  // saves the history
        m_root.SetBootId(boot);

        Load(AtaProfile(""));
        d = Discover();
        ASSERT_NE(d, nullptr);
        const std::size_t before = AtaCount(kAtaDisk, READ_ATTRIBUTES);
        AdvanceSeconds(100);
        EXPECT_TRUE(m_engine->ReadAttributes(d));
        const bool readDrive = AtaCount(kAtaDisk, READ_ATTRIBUTES) > before;
        EXPECT_EQ(readDrive, std::string(boot) == "boot-2") << boot;
        EXPECT_EQ(d->attributes[0].id, 1);
    }
}

TEST_F(HistoryStoreTest, WithoutParentKeyDrivesAreFoundAndNothingIsStored) {
    Load(AtaProfile(""));
    EXPECT_NE(Ready(), nullptr);
    Unload();
    EXPECT_FALSE(KeyExists(kKey));
}
