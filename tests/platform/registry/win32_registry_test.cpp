#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/win_errors.h"
#include "registry/registry.h"
#include "scoped_root.h"

namespace {

class Win32RegistryTest : public ::testing::Test {
protected:
    // Creates (or opens) a key below HKEY_LOCAL_MACHINE with full access.
    HKEY Create(const char16_t* path, DWORD options = REG_OPTION_NON_VOLATILE) {
        HKEY key = nullptr;
        EXPECT_EQ(
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        m_open.push_back(key);
        return key;
    }
    LONG Open(const char16_t* path, REGSAM access, HKEY* key) {
        const LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, access, key);
        if (rc == ERROR_SUCCESS) m_open.push_back(*key);
        return rc;
    }
    static LONG SetDword(HKEY key, const char16_t* name, DWORD value) {
        return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    void TearDown() override {
        for (HKEY key : m_open) RegCloseKey(key);
    }

    ScopedRoot m_root;
    std::vector<HKEY> m_open;
};

struct ValueCase {
    const char* label;
    DWORD type;
    std::vector<BYTE> data;
};

TEST_F(Win32RegistryTest, ValuesComeBackAsWrittenWithNothingPastTheirEnd) {
    const ValueCase cases[] = {
        {"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {"sz without terminator", REG_SZ, {'a', 0, 'b', 0}},
        {"sz with terminator", REG_SZ, {'a', 0, 0, 0}},
        {"binary", REG_BINARY, {0, 1, 2, 0xFF, 0}},
        {"empty binary", REG_BINARY, {}},
        {"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    HKEY key = Create(u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::u16string name(c.label, c.label + std::strlen(c.label));
        ASSERT_EQ(RegSetValueExW(key, name.c_str(), 0, c.type, c.data.data(), DWORD(c.data.size())), ERROR_SUCCESS);
        BYTE buffer[16];
        std::memset(buffer, 0xCC, sizeof buffer);
        DWORD type = 99, size = sizeof buffer;
        ASSERT_EQ(RegQueryValueExW(key, name.c_str(), nullptr, &type, buffer, &size), ERROR_SUCCESS);
        EXPECT_EQ(type, c.type);
        ASSERT_EQ(size, c.data.size());
        EXPECT_EQ(std::vector<BYTE>(buffer, buffer + size), c.data);
        for (std::size_t i = size; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 0xCC) << "byte " << i;
    }
}

TEST_F(Win32RegistryTest, QueryReportsSizesAndMissingValues) {
    HKEY key = Create(u"A");
    const BYTE data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(RegSetValueExW(key, u"bin", 0, REG_BINARY, data, sizeof data), ERROR_SUCCESS);

    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"bin", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(type, REG_BINARY);

    BYTE small[4] = {0xCC, 0xCC, 0xCC, 0xCC};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(key, u"bin", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);

    EXPECT_EQ(RegQueryValueExW(key, u"missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(key, u"bin", nullptr, &type, small, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(Win32RegistryTest, NamesCompareWithoutCaseAndKeepTheirSpelling) {
    HKEY key = Create(u"Software\\Zelmor");
    ASSERT_EQ(SetDword(key, u"MaxTemp", 55), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, u"MAXTEMP", 60), ERROR_SUCCESS);  // same value

    HKEY again = nullptr;
    ASSERT_EQ(Open(u"SOFTWARE\\zelmor", KEY_READ, &again), ERROR_SUCCESS);
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(RegQueryValueExW(again, u"maxtemp", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 60u);

    WCHAR name[32];
    DWORD chars = 32;
    ASSERT_EQ(RegEnumValueW(again, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name, chars), u"MaxTemp");
    chars = 32;
    EXPECT_EQ(RegEnumValueW(again, 1, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

TEST_F(Win32RegistryTest, CreateMakesIntermediateKeysAndTellsTheDisposition) {
    DWORD disposition = 0;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1\\Settings", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1\\Settings", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);
    // The user's root is its own store.
    HKEY machine = nullptr;
    EXPECT_EQ(Open(u"SOFTWARE\\Zelmor", KEY_READ, &machine), ERROR_FILE_NOT_FOUND);
}

TEST_F(Win32RegistryTest, BadInputGetsAnErrorCode) {
    HKEY key = Create(u"Input");
    const std::u16string long_key(256, u'k');
    const std::u16string max_key(255, u'k');
    const std::u16string long_value(16384, u'v');
    const std::u16string max_value(16383, u'v');
    const char16_t lone_surrogate[] = {u'a', char16_t(0xD800), 0};
    const DWORD dword = 1;
    const BYTE three[3] = {1, 2, 3};
    HKEY out = nullptr;

    EXPECT_EQ(RegCreateKeyExW(key, u"\\Leading", 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExW(key, u"a\\\\b", 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExW(key, long_key.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExW(key, lone_surrogate, 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr),
              ERROR_INVALID_NAME);
    ASSERT_EQ(RegCreateKeyExW(key, max_key.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr), ERROR_SUCCESS);
    RegCloseKey(out);

    EXPECT_EQ(RegSetValueExW(key, long_value.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), 4),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, max_value.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), 4),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, u"d", 0, REG_DWORD, three, 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"s", 0, REG_SZ, three, 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"t", 0, 99, three, 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"n", 0, REG_BINARY, nullptr, 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(reinterpret_cast<HKEY>(0x4444), u"x", 0, REG_BINARY, three, 3), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExW(HKEY_USERS, u"x", 0, REG_BINARY, three, 3), ERROR_INVALID_HANDLE);
}

TEST_F(Win32RegistryTest, RightsOfTheHandleAreEnforced) {
    Create(u"Rights");
    HKEY reader = nullptr;
    ASSERT_EQ(Open(u"Rights", KEY_READ, &reader), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(reader, u"v", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(reader, u"v"), ERROR_ACCESS_DENIED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExW(reader, u"Child", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr),
              ERROR_ACCESS_DENIED);
}

TEST_F(Win32RegistryTest, DeletingKeysAndValues) {
    HKEY parent = Create(u"Tree\\Branch\\Leaf");
    ASSERT_EQ(SetDword(parent, u"v", 1), ERROR_SUCCESS);
    HKEY tree = Create(u"Tree");

    EXPECT_EQ(RegDeleteKeyW(tree, u"Branch"), ERROR_ACCESS_DENIED);  // it has a sub key
    EXPECT_EQ(RegDeleteValueW(parent, u"v"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(parent, u"v"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(tree, u"Branch\\Leaf"), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(parent, u"v", 2), ERROR_KEY_DELETED);  // handle on the deleted key

    Create(u"Tree\\Branch\\Deep\\Deeper");
    EXPECT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"Tree"), ERROR_SUCCESS);
    HKEY gone = nullptr;
    EXPECT_EQ(Open(u"Tree", KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SetDword(tree, u"v", 3), ERROR_KEY_DELETED);
}

TEST_F(Win32RegistryTest, EnumerationOrderAndBufferLimits) {
    HKEY key = Create(u"Enum");
    for (const char16_t* name : {u"zeta", u"alpha", u"Mid"}) ASSERT_EQ(SetDword(key, name, 7), ERROR_SUCCESS);
    for (const char16_t* name : {u"b", u"C", u"a"}) Create((std::u16string(u"Enum\\") + name).c_str());

    std::u16string values, keys;
    WCHAR name[8];
    DWORD chars = 0;
    for (DWORD i = 0; chars = 8, RegEnumValueW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) == 0; ++i) {
        values += std::u16string(name, chars) + u",";
    }
    for (DWORD i = 0; chars = 8, RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) == 0; ++i) {
        keys += std::u16string(name, chars) + u",";
    }
    EXPECT_EQ(values, u"zeta,alpha,Mid,");  // creation order
    EXPECT_EQ(keys, u"a,b,C,");             // name order

    chars = 4;  // "zeta" needs 5 with its terminator
    EXPECT_EQ(RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    BYTE data[2];
    DWORD size = sizeof data;
    chars = 8;
    EXPECT_EQ(RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
}

TEST_F(Win32RegistryTest, VolatileKeysLastUntilTheBootIdChanges) {
    HKEY run = Create(u"Volatile", REG_OPTION_VOLATILE);
    ASSERT_EQ(SetDword(run, u"v", 1), ERROR_SUCCESS);
    Create(u"Volatile\\Inner", REG_OPTION_VOLATILE);
    HKEY kept = Create(u"Kept");
    ASSERT_EQ(SetDword(kept, u"v", 1), ERROR_SUCCESS);
    HKEY out = nullptr;
    EXPECT_EQ(RegCreateKeyExW(run, u"Persistent", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
              ERROR_CHILD_MUST_BE_VOLATILE);

    m_root.SetBootId("boot-2");
    EXPECT_EQ(Open(u"Volatile", KEY_READ, &out), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(u"Kept", KEY_READ, &out), ERROR_SUCCESS);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_root.MachineDb().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM keys WHERE name IN ('Volatile', 'Inner')", -1, &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), 0) << "the subtree is removed from the store";
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

// Reads PRAGMA data_version on a separate connection: it changes exactly when
// another connection commits.
long DataVersion(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA data_version", -1, &stmt, nullptr);
    sqlite3_step(stmt);
    const long version = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return version;
}

TEST_F(Win32RegistryTest, SettingThePresentValueWritesNothing) {
    HKEY key = Create(u"Settings");
    const BYTE placement[44] = {1, 2, 3};
    ASSERT_EQ(RegSetValueExW(key, u"Placement", 0, REG_BINARY, placement, sizeof placement), ERROR_SUCCESS);

    sqlite3* observer = nullptr;
    ASSERT_EQ(sqlite3_open(m_root.MachineDb().c_str(), &observer), SQLITE_OK);
    const long before = DataVersion(observer);
    const auto wal_size = std::filesystem::file_size(m_root.MachineDb() + "-wal");
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(RegSetValueExW(key, u"placement", 0, REG_BINARY, placement, sizeof placement), ERROR_SUCCESS);
    }
    EXPECT_EQ(DataVersion(observer), before);
    EXPECT_EQ(std::filesystem::file_size(m_root.MachineDb() + "-wal"), wal_size);

    // The same bytes under another type are a change.
    ASSERT_EQ(RegSetValueExW(key, u"Placement", 0, REG_NONE, placement, sizeof placement), ERROR_SUCCESS);
    EXPECT_NE(DataVersion(observer), before);
    sqlite3_close(observer);
}

}  // namespace
