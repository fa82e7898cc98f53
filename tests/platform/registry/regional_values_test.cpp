// The user's regional key: there to open, its three values read as the
// user's locale gives them until the user sets them, and nothing else made up.
#include <gtest/gtest.h>

#include <cstdlib>

#include "registry/registry.h"
#include "scoped_root.h"

namespace {

constexpr const WCHAR* kKey = u"Control Panel\\International";

class RegionalValuesTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("LC_ALL", "de_DE.UTF-8", 1); }
    void TearDown() override { unsetenv("LC_ALL"); }

    static std::u16string Query(HKEY key, const WCHAR* name, LONG* result = nullptr) {
        WCHAR text[128] = {};
        DWORD type = 0, size = sizeof(text);
        const LONG r = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
        if (result) *result = r;
        return r == ERROR_SUCCESS && type == REG_SZ ? std::u16string(text) : u"<none>";
    }
    ScopedRoot m_root;
};

}  // namespace

TEST_F(RegionalValuesTest, TheKeyOpensAndReadsAsTheUsersLocale) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, u"sLanguage"), u"DEU");
    EXPECT_EQ(Query(key, u"slongdate"), u"dddd, d. MMMM yyyy") << "names without regard to case";
    EXPECT_EQ(Query(key, u"sTimeFormat"), u"HH:mm:ss");
    LONG result = 0;
    Query(key, u"sShortDate", &result);
    EXPECT_EQ(result, ERROR_FILE_NOT_FOUND) << "only the three values are derived";
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"sLanguage", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u) << "three characters and the terminator";
    RegCloseKey(key);

    HKEY other = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &other), ERROR_FILE_NOT_FOUND)
        << "a user's key only";
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Control Panel\\Other", 0, KEY_READ, &other), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegionalValuesTest, WhatTheUserSetsWinsAndOtherLocalesFollow) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    const std::u16string pattern = u"h:mm tt";
    ASSERT_EQ(RegSetValueExW(key, u"sTimeFormat", 0, REG_SZ, reinterpret_cast<const BYTE*>(pattern.c_str()),
                             DWORD((pattern.size() + 1) * 2)),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(key, u"sTimeFormat"), u"h:mm tt");
    EXPECT_EQ(Query(key, u"sLanguage"), u"DEU");

    setenv("LC_ALL", "fr_CA.UTF-8", 1);
    EXPECT_EQ(Query(key, u"sLanguage"), u"FRC");
    EXPECT_EQ(Query(key, u"sLongDate"), u"d MMMM yyyy");
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(Query(key, u"sLanguage"), u"ENU") << "no language: US English";
    ASSERT_EQ(RegDeleteValueW(key, u"sTimeFormat"), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, u"sTimeFormat"), u"h:mm:ss tt");
    RegCloseKey(key);
}
