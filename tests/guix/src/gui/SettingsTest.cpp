// The settings block in the registry: defaults, the 74-byte "bin" in its
// stored order, the read-only values, the machine-wide mouse switch, and
// what an unusable "bin" does.
#include "SettingsStore.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <optional>

#include "AppTestSupport.h"
#include "base/text.h"
#include "resource/module.h"

using namespace apptest;
using settings::kSettingsKey;

namespace {

class SettingsTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        m_english = LoadLibraryW(plat::Utf8ToUtf16(LibraryDir("v1027") + "/LUMEXRS.DLL").c_str());
        ASSERT_NE(m_english, nullptr);
    }
    void TearDown() override {
        FreeLibrary(m_english);
        AppTest::TearDown();
    }
    GuiSettings Load() {
        GuiSettings s;
        EXPECT_EQ(settings::LoadSettings(s, m_english), 0);
        return s;
    }
    void SetBin(const std::vector<BYTE>& bin, DWORD size) {
        SetDword(HKEY_CURRENT_USER, kSettingsKey, u"size", size);
        SetValue(HKEY_CURRENT_USER, kSettingsKey, u"bin", REG_BINARY, bin.data(), DWORD(bin.size()));
    }
    HMODULE m_english = nullptr;
};

// Every field set to a value of its own, so a field stored at another
// field's place shows.
GuiSettings Distinct() {
    GuiSettings s;
    s.Horizontal = 0x11;
    s.KeyboardLed = 0x12;
    s.AlwaysOnTop = 0x13;
    s.Snap = 0x14;
    s.TransparencyAvailable = 0x15;
    s.MinimizedToTray = 0x16;
    s.AutoHide = 0x17;
    s.OptionsPanelOpen = 0x18;
    s.SmartDisplay = 0x19;
    s.ShowCD = 0x1A;
    s.ShowTape = 0x1B;
    s.ShowNetwork = 0x1C;
    s.ShowRemovable = 0x1D;
    s.Autostart = 0x1E;
    s.ShowBorder = 0x1F;
    s.Reserved1 = 0x20;
    s.Fahrenheit = 0x21;
    s.SnapEdge = 0x22;
    s.Alpha = 0x23;
    s.Color = 0x24;
    for (std::size_t i = 0; i < sizeof s.Placement; ++i) reinterpret_cast<BYTE*>(&s.Placement)[i] = BYTE(0xA0 + i);
    return s;
}

void ExpectBinFieldsEqual(const GuiSettings& a, const GuiSettings& b) {
    for (const auto& field : settings::kBinLayout) {
        if (field.wide) EXPECT_EQ(a.*field.wide, b.*field.wide);
        else EXPECT_EQ(a.*field.narrow, b.*field.narrow);
    }
}

}  // namespace

TEST_F(SettingsTest, WithoutAKeyEveryFieldHasItsDefault) {
    const GuiSettings s = Load();
    const GuiSettings expected = settings::Defaults(u"English");
    ExpectBinFieldsEqual(s, expected);
    EXPECT_EQ(s.Fahrenheit, 1u) << "string 154 reads English";
    EXPECT_EQ(s.Horizontal, 1u);
    EXPECT_EQ(s.Alpha, 255);
    EXPECT_EQ(s.SmartEnabled, 1u);
    EXPECT_EQ(s.SMARTPollingIntervall, 600u);
    EXPECT_EQ(s.MaxTemp, 0);
    EXPECT_EQ(s.DisableMouseButtons, 0u);
    const std::array<BYTE, 44> zero{};
    EXPECT_EQ(std::memcmp(&s.Placement, zero.data(), 44), 0);
}

TEST_F(SettingsTest, FahrenheitIsTheDefaultOnlyForExactlyEnglish) {
    HMODULE german = LoadLibraryW(plat::Utf8ToUtf16(LibraryDir("v1023") + "/LUMEXRS.DLL").c_str());
    ASSERT_NE(german, nullptr);
    GuiSettings s;
    settings::LoadSettings(s, german);
    EXPECT_EQ(s.Fahrenheit, 0u);
    FreeLibrary(german);
    settings::LoadSettings(s, nullptr);
    EXPECT_EQ(s.Fahrenheit, 0u) << "no library, no marker";
    EXPECT_EQ(settings::Defaults(u"english").Fahrenheit, 0u);
    EXPECT_EQ(settings::Defaults(u"English ").Fahrenheit, 0u);
}

TEST_F(SettingsTest, SaveWritesTheBinInItsStoredOrderAndLoadReadsItBack) {
    const GuiSettings saved = Distinct();
    ASSERT_TRUE(settings::SaveSettings(saved));

    const auto size = Value(HKEY_CURRENT_USER, kSettingsKey, u"size");
    ASSERT_TRUE(size);
    EXPECT_EQ(size->type, REG_DWORD);
    EXPECT_EQ(size->data, (std::vector<BYTE>{74, 0, 0, 0}));

    // Offsets of the stored layout: OptionsPanelOpen second, the two bytes
    // after AutoHide, Fahrenheit and SnapEdge last.
    std::vector<BYTE> expected;
    const auto put32 = [&](DWORD v) {
        for (int i = 0; i < 4; ++i) expected.push_back(BYTE(v >> (8 * i)));
    };
    for (DWORD v : {0x11u, 0x18u, 0x12u, 0x13u, 0x14u, 0x15u, 0x16u, 0x17u}) put32(v);
    expected.push_back(0x23);
    expected.push_back(0x24);
    for (DWORD v = 0x19; v <= 0x22; ++v) put32(v);
    ASSERT_EQ(expected.size(), 74u);
    const auto bin = Value(HKEY_CURRENT_USER, kSettingsKey, u"bin");
    ASSERT_TRUE(bin);
    EXPECT_EQ(bin->type, REG_BINARY);
    EXPECT_EQ(bin->data, expected);

    const auto placement = Value(HKEY_CURRENT_USER, kSettingsKey, u"Placement");
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->type, REG_BINARY);
    ASSERT_EQ(placement->data.size(), 44u);
    EXPECT_EQ(std::memcmp(placement->data.data(), &saved.Placement, 44), 0);

    for (const WCHAR* readOnly : {u"SMARTPollingIntervall", u"DisableMouseButtons", u"MaxTemp"})
        EXPECT_FALSE(Value(HKEY_CURRENT_USER, kSettingsKey, readOnly)) << "the GUI never writes these";

    const GuiSettings loaded = Load();
    ExpectBinFieldsEqual(loaded, saved);
    EXPECT_EQ(std::memcmp(&loaded.Placement, &saved.Placement, 44), 0);
}

TEST_F(SettingsTest, SavingWhatWasLoadedKeepsTheStoredBytes) {
    settings::SaveSettings(Distinct());
    const auto bin = Value(HKEY_CURRENT_USER, kSettingsKey, u"bin");
    const auto placement = Value(HKEY_CURRENT_USER, kSettingsKey, u"Placement");
    ASSERT_TRUE(bin && placement);
    settings::SaveSettings(Load());
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kSettingsKey, u"bin")->data, bin->data);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kSettingsKey, u"Placement")->data, placement->data);
}

// The LED window saves on every mouse move: a writer stores a block once and
// then touches nothing until the block changes. The proof that nothing was
// written is a stored value changed by hand, which an unchanged save keeps.
TEST_F(SettingsTest, AWriterStoresABlockOnceAndWritesAgainOnlyWhenItChanges) {
    settings::SettingsWriter writer;
    GuiSettings s = Distinct();
    ASSERT_TRUE(writer.Save(s));
    const auto stored = Value(HKEY_CURRENT_USER, kSettingsKey, u"bin");
    ASSERT_TRUE(stored);
    const std::vector<BYTE> by_hand(74, 0x5A);
    SetValue(HKEY_CURRENT_USER, kSettingsKey, u"bin", REG_BINARY, by_hand.data(), 74);
    SetValue(HKEY_CURRENT_USER, kSettingsKey, u"Placement", REG_BINARY, by_hand.data(), 44);

    EXPECT_TRUE(writer.Save(s)) << "an unchanged save reports the key as usable";
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kSettingsKey, u"bin")->data, by_hand) << "nothing written";

    s.Placement.rcNormalPosition.left += 1;  // a change in the placement alone
    ASSERT_TRUE(writer.Save(s));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kSettingsKey, u"bin")->data, stored->data) << "the whole block written";
    const auto placement = Value(HKEY_CURRENT_USER, kSettingsKey, u"Placement");
    EXPECT_EQ(std::memcmp(placement->data.data(), &s.Placement, 44), 0);

    SetValue(HKEY_CURRENT_USER, kSettingsKey, u"bin", REG_BINARY, by_hand.data(), 74);
    writer.Forget();
    ASSERT_TRUE(writer.Save(s));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kSettingsKey, u"bin")->data, stored->data) << "a forgotten save writes";
}

TEST_F(SettingsTest, AnUnusableBinZeroesEveryBinFieldButNothingElse) {
    struct Case {
        const char* what;
        std::vector<BYTE> bin;
        DWORD size;
        DWORD type;
    };
    const Case cases[] = {
        {"73 bytes where size says 74", std::vector<BYTE>(73, 0x01), 74, REG_BINARY},
        {"75 bytes where size says 74", std::vector<BYTE>(75, 0x01), 74, REG_BINARY},
        {"74 bytes of another type", std::vector<BYTE>(74, 0x01), 74, REG_NONE},
        {"a size no bin can have", std::vector<BYTE>(74, 0x01), 0xFFFFFFFF, REG_BINARY},
        {"size 0", std::vector<BYTE>(74, 0x01), 0, REG_BINARY},
    };
    for (const Case& c : cases) {
        SetDword(HKEY_CURRENT_USER, kSettingsKey, u"size", c.size);
        SetValue(HKEY_CURRENT_USER, kSettingsKey, u"bin", c.type, c.bin.data(), DWORD(c.bin.size()));
        SetDword(HKEY_CURRENT_USER, kSettingsKey, u"SMARTPollingIntervall", 30);
        const GuiSettings s = Load();
        GuiSettings zero;
        for (const auto& field : settings::kBinLayout) {
            if (field.wide) zero.*field.wide = 0;
            else zero.*field.narrow = 0;
        }
        SCOPED_TRACE(c.what);
        ExpectBinFieldsEqual(s, zero);
        EXPECT_EQ(s.SmartEnabled, 1u);
        EXPECT_EQ(s.SMARTPollingIntervall, 30u);
    }
}

TEST_F(SettingsTest, AShorterSizeReadsItsFieldsAndZeroesTheRest) {
    const std::vector<BYTE> bin = {1, 0, 0, 0, 1, 0, 0, 0};  // Horizontal, OptionsPanelOpen
    SetBin(bin, 8);
    const GuiSettings s = Load();
    EXPECT_EQ(s.Horizontal, 1u);
    EXPECT_EQ(s.OptionsPanelOpen, 1u);
    EXPECT_EQ(s.AlwaysOnTop, 0u);
    EXPECT_EQ(s.Alpha, 0);
    EXPECT_EQ(s.SnapEdge, 0u);
}

TEST_F(SettingsTest, WithoutSizeTheBinIsNotReadAndTheDefaultsStay) {
    SetValue(HKEY_CURRENT_USER, kSettingsKey, u"bin", REG_BINARY, std::vector<BYTE>(74, 0).data(), 74);
    const GuiSettings s = Load();
    ExpectBinFieldsEqual(s, settings::Defaults(u"English"));
}

TEST_F(SettingsTest, ThePlacementMustBeExactly44Bytes) {
    settings::SaveSettings(Distinct());
    const std::vector<BYTE> short_placement(43, 0x77);
    SetValue(HKEY_CURRENT_USER, kSettingsKey, u"Placement", REG_BINARY, short_placement.data(), 43);
    const GuiSettings s = Load();
    const std::array<BYTE, 44> zero{};
    EXPECT_EQ(std::memcmp(&s.Placement, zero.data(), 44), 0);
    EXPECT_EQ(s.Horizontal, 0x11u) << "the bin is read all the same";
}

TEST_F(SettingsTest, ReadOnlyValuesReplaceTheirDefaults) {
    struct Case {
        std::optional<DWORD> interval;
        std::optional<DWORD> maxTemp;
        DWORD expectedInterval;
        LONG expectedMaxTemp;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, 600, 0},
        {0, 45, 600, 45},
        {30, 0xFFFFFFFF, 30, -1},
    };
    for (const Case& c : cases) {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegDeleteValueW(key, u"SMARTPollingIntervall");
        RegDeleteValueW(key, u"MaxTemp");
        RegCloseKey(key);
        if (c.interval) SetDword(HKEY_CURRENT_USER, kSettingsKey, u"SMARTPollingIntervall", *c.interval);
        if (c.maxTemp) SetDword(HKEY_CURRENT_USER, kSettingsKey, u"MaxTemp", *c.maxTemp);
        const GuiSettings s = Load();
        EXPECT_EQ(s.SMARTPollingIntervall, c.expectedInterval);
        EXPECT_EQ(s.MaxTemp, c.expectedMaxTemp);
    }
}

TEST_F(SettingsTest, MouseButtonsAreDisabledByAOneForTheUserOrForTheMachine) {
    struct Case {
        std::optional<DWORD> user;
        std::optional<DWORD> machine;
        DWORD expected;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, 0}, {1, std::nullopt, 1}, {2, std::nullopt, 0},
        {2, 1, 1},                       {std::nullopt, 1, 1}, {0, 2, 0},
    };
    for (const Case& c : cases) {
        ScopedRoot root;
        if (c.user) SetDword(HKEY_CURRENT_USER, kSettingsKey, u"DisableMouseButtons", *c.user);
        if (c.machine) SetDword(HKEY_LOCAL_MACHINE, kSettingsKey, u"DisableMouseButtons", *c.machine);
        EXPECT_EQ(Load().DisableMouseButtons, c.expected)
            << "user " << (c.user ? int(*c.user) : -1) << ", machine " << (c.machine ? int(*c.machine) : -1);
    }
}

TEST_F(SettingsTest, TheMachineWideSwitchReachesUsersWithoutWriteRightsThere) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to become a user without write rights";
    SetDword(HKEY_LOCAL_MACHINE, kSettingsKey, u"DisableMouseButtons", 1);
    SetDword(HKEY_CURRENT_USER, kSettingsKey, u"MaxTemp", 45);
    // The user owns their own store and may only read the machine's.
    const std::filesystem::path root = m_root.Dir();
    std::filesystem::permissions(root, std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::others_read |
                                                       (entry.is_directory() ? std::filesystem::perms::others_exec
                                                                             : std::filesystem::perms::none),
                                     std::filesystem::perm_options::add);
        if (entry.path().parent_path() == root / "hkcu" || entry.path() == root / "hkcu") {
            ASSERT_EQ(chown(entry.path().c_str(), 65534, 65534), 0);
        }
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(10);
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_ACCESS_DENIED) _exit(11);
        GuiSettings s;
        settings::LoadSettings(s, m_english);
        if (s.MaxTemp != 45) _exit(12);
        _exit(s.DisableMouseButtons == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: cannot drop privileges, 11: the machine store is writable, "
                                          "12: the user's settings were not read, 1: the switch stayed off";
}
