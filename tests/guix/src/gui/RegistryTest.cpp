// CRegistry and the small value helpers: exact binary reads that never
// leave stale bytes, four-byte reads of any type, the recorded last result,
// and registry views that all reach the one registry.
#include "Registry.h"

#include <array>
#include <cstring>

#include "AppTestSupport.h"
#include "RegistryValue.h"

using namespace apptest;

namespace {

constexpr const WCHAR* kKey = u"SOFTWARE\\Zelmor\\Test";

class RegistryTest : public AppTest {};

}  // namespace

TEST_F(RegistryTest, ReadBinaryExactTakesOnlyABinaryOfTheAskedLength) {
    struct Case {
        DWORD type;
        DWORD stored;
        DWORD asked;
        bool ok;
    };
    const Case cases[] = {
        {REG_BINARY, 8, 8, true},  {REG_BINARY, 7, 8, false}, {REG_BINARY, 9, 8, false},
        {REG_DWORD, 4, 4, false},  {REG_SZ, 8, 8, false},     {REG_BINARY, 0, 0, true},
    };
    const std::array<BYTE, 9> stored{1, 2, 3, 4, 5, 6, 7, 8, 9};
    for (const Case& c : cases) {
        SetValue(HKEY_CURRENT_USER, kKey, u"v", c.type, stored.data(), c.stored);
        CRegistry reg(HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.OpenKey(HKEY_CURRENT_USER, kKey, TRUE));
        std::array<BYTE, 12> buffer;
        buffer.fill(0xCC);
        EXPECT_EQ(reg.ReadBinaryExact(u"v", buffer.data(), c.asked), c.ok ? TRUE : FALSE)
            << "type " << c.type << ", " << c.stored << " bytes stored, " << c.asked << " asked";
        for (DWORD i = 0; i < c.asked; ++i) EXPECT_EQ(buffer[i], c.ok ? stored[i] : 0) << "byte " << i;
        for (std::size_t i = c.asked; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xCC) << "guard byte " << i;
    }
}

TEST_F(RegistryTest, ReadDwordTakesFourBytesOfAnyTypeAndLeavesTheOutputAloneOtherwise) {
    const BYTE four[4] = {0x78, 0x56, 0x34, 0x12};
    SetValue(HKEY_CURRENT_USER, kKey, u"binary4", REG_BINARY, four, 4);
    SetValue(HKEY_CURRENT_USER, kKey, u"binary3", REG_BINARY, four, 3);
    SetDword(HKEY_CURRENT_USER, kKey, u"dword", 600);
    CRegistry reg(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.OpenKey(HKEY_CURRENT_USER, kKey, TRUE));

    DWORD out = 7;
    EXPECT_TRUE(reg.ReadDword(u"binary4", out));
    EXPECT_EQ(out, 0x12345678u);
    EXPECT_EQ(reg.LastType(), REG_BINARY);
    EXPECT_EQ(reg.LastSize(), 4u);
    EXPECT_TRUE(reg.ReadDword(u"dword", out));
    EXPECT_EQ(out, 600u);

    out = 7;
    EXPECT_FALSE(reg.ReadDword(u"binary3", out));
    EXPECT_EQ(out, 7u);
    EXPECT_FALSE(reg.ReadDword(u"missing", out));
    EXPECT_EQ(out, 7u);
    EXPECT_EQ(reg.LastResult(), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, KeysOpenCreateAndRefuseWritesWhenReadOnly) {
    CRegistry reg(HKEY_CURRENT_USER);
    EXPECT_FALSE(reg.KeyExists(HKEY_CURRENT_USER, kKey));
    EXPECT_EQ(reg.LastResult(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(reg.OpenKey(HKEY_CURRENT_USER, kKey, TRUE));

    ASSERT_TRUE(reg.CreateKey(HKEY_CURRENT_USER, kKey));
    EXPECT_EQ(reg.KeyPath(), kKey);
    EXPECT_TRUE(reg.WriteDword(u"n", 5));
    const BYTE bytes[3] = {1, 2, 3};
    EXPECT_TRUE(reg.WriteBinary(u"b", bytes, 3));
    reg.CloseKey();
    EXPECT_TRUE(reg.KeyExists(HKEY_CURRENT_USER, kKey));

    ASSERT_TRUE(reg.OpenKey(HKEY_CURRENT_USER, kKey, TRUE));
    EXPECT_FALSE(reg.WriteDword(u"n", 6));
    EXPECT_EQ(reg.LastResult(), ERROR_ACCESS_DENIED);
    const auto stored = Value(HKEY_CURRENT_USER, kKey, u"n");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, REG_DWORD);
    EXPECT_EQ(stored->data, (std::vector<BYTE>{5, 0, 0, 0}));
}

TEST_F(RegistryTest, EveryViewReachesTheOneRegistry) {
    ASSERT_TRUE(WriteRegistryNumber(HKEY_LOCAL_MACHINE, kKey, u"n", 42, RegistryView::Bits32));
    ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, kKey, u"s", u"C:\\Lumetra\\", RegistryView::Bits64));
    for (RegistryView view : {RegistryView::Default, RegistryView::Bits32, RegistryView::Bits64}) {
        DWORD n = 0;
        std::u16string s;
        EXPECT_TRUE(ReadRegistryNumber(HKEY_LOCAL_MACHINE, kKey, u"n", n, view));
        EXPECT_EQ(n, 42u);
        EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, kKey, u"s", s, view));
        EXPECT_EQ(s, u"C:\\Lumetra\\");
    }
    DWORD n = 9;
    std::u16string s = u"kept";
    EXPECT_FALSE(ReadRegistryNumber(HKEY_LOCAL_MACHINE, kKey, u"s", n)) << "a string is not a number";
    EXPECT_FALSE(ReadRegistryString(HKEY_LOCAL_MACHINE, kKey, u"n", s)) << "a number is not a string";
    EXPECT_EQ(n, 9u);
    EXPECT_EQ(s, u"kept");
}
