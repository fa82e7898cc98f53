#include "registry/nt_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/ntstatus.h"
#include "scoped_root.h"

namespace {

constexpr const char16_t* kHistoryKey = u"\\Registry\\Machine\\SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1\\Smart";
constexpr ULONG kNodeSize = 1320;

class NtRegistryTest : public ::testing::Test {
protected:
    NTSTATUS Create(const char16_t* path, ULONG options, HANDLE* key, ULONG* disposition = nullptr,
                    HANDLE root = nullptr) {
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, path);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, root, nullptr);
        return NtCreateKey(key, KEY_ALL_ACCESS, &attributes, 0, nullptr, options, disposition);
    }
    HANDLE CreateChain(const std::vector<const char16_t*>& paths) {
        HANDLE key = nullptr;
        for (const char16_t* path : paths) {
            EXPECT_EQ(Create(path, 0, &key), STATUS_SUCCESS);
            if (path != paths.back()) NtClose(key);
        }
        return key;
    }
    HANDLE HistoryKey() {
        return CreateChain({u"\\Registry\\Machine\\SOFTWARE", u"\\Registry\\Machine\\SOFTWARE\\Zelmor",
                            u"\\Registry\\Machine\\SOFTWARE\\Zelmor\\Zelmor Lumetra",
                            u"\\Registry\\Machine\\SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1", kHistoryKey});
    }
    static NTSTATUS SetBinary(HANDLE key, const char16_t* value_name, std::vector<BYTE> data) {
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, value_name);
        return NtSetValueKey(key, &name, 0, REG_BINARY, data.data(), ULONG(data.size()));
    }

    ScopedRoot m_root;
};

TEST_F(NtRegistryTest, CreateMakesOnlyTheLastComponent) {
    HANDLE key = nullptr;
    EXPECT_EQ(Create(kHistoryKey, 0, &key), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(Create(u"\\Registry\\Nowhere\\SOFTWARE", 0, &key), STATUS_OBJECT_PATH_NOT_FOUND);
    EXPECT_EQ(Create(u"Registry\\Machine\\SOFTWARE", 0, &key), STATUS_OBJECT_PATH_SYNTAX_BAD);

    ULONG disposition = 0;
    ASSERT_EQ(Create(u"\\Registry\\Machine\\SOFTWARE", 0, &key, &disposition), STATUS_SUCCESS);
    EXPECT_EQ(disposition, ULONG(REG_CREATED_NEW_KEY));
    HANDLE child = nullptr;
    ASSERT_EQ(Create(u"Zelmor", 0, &child, &disposition, key), STATUS_SUCCESS);  // relative to a handle
    NtClose(child);
    NtClose(key);
    ASSERT_EQ(Create(u"\\registry\\machine\\software\\ZELMOR", 0, &key, &disposition), STATUS_SUCCESS);
    EXPECT_EQ(disposition, ULONG(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(NtClose(key), STATUS_SUCCESS);
    EXPECT_EQ(NtClose(key), STATUS_INVALID_HANDLE);
}

// Fills a guarded buffer and checks what the call wrote and that it wrote
// nothing past the length it was given.
TEST_F(NtRegistryTest, PartialInformationBufferStatuses) {
    HANDLE key = HistoryKey();
    ASSERT_EQ(SetBinary(key, u"7.0", std::vector<BYTE>(20, 0xAB)), STATUS_SUCCESS);
    constexpr ULONG kFull = 12 + 20;
    struct Case {
        ULONG length;
        NTSTATUS status;
        ULONG data_written;
    } cases[] = {
        {0, STATUS_BUFFER_TOO_SMALL, 0},         {11, STATUS_BUFFER_TOO_SMALL, 0}, {12, STATUS_BUFFER_OVERFLOW, 0},
        {kFull - 1, STATUS_BUFFER_OVERFLOW, 19}, {kFull, STATUS_SUCCESS, 20},      {1400, STATUS_SUCCESS, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        std::vector<BYTE> buffer(1500, 0xCC);
        ULONG result = 0;
        EXPECT_EQ(NtEnumerateValueKey(key, 0, KeyValuePartialInformation, buffer.data(), c.length, &result), c.status);
        EXPECT_EQ(result, kFull);
        KEY_VALUE_PARTIAL_INFORMATION header;
        std::memcpy(&header, buffer.data(), 12);
        if (c.length >= 12) {
            EXPECT_EQ(header.TitleIndex, 0u);
            EXPECT_EQ(header.Type, ULONG(REG_BINARY));
            EXPECT_EQ(header.DataLength, 20u);
        }
        const ULONG end = c.length >= 12 ? 12 + c.data_written : 0;
        for (ULONG i = 12; i < end; ++i) ASSERT_EQ(buffer[i], 0xAB) << "byte " << i;
        for (ULONG i = end; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xCC) << "byte " << i;
    }
    ULONG result = 0;
    BYTE buffer[64];
    EXPECT_EQ(NtEnumerateValueKey(key, 1, KeyValuePartialInformation, buffer, sizeof buffer, &result),
              STATUS_NO_MORE_ENTRIES);
    EXPECT_EQ(uint32_t(STATUS_NO_MORE_ENTRIES), 0x8000001Au);
    EXPECT_EQ(NtEnumerateValueKey(key, 0, KeyValueFullInformation, buffer, sizeof buffer, &result),
              STATUS_INVALID_INFO_CLASS);
    NtClose(key);
}

TEST_F(NtRegistryTest, BasicInformationAndQueryByName) {
    HANDLE key = HistoryKey();
    ASSERT_EQ(SetBinary(key, u"2.0", {1, 2, 3}), STATUS_SUCCESS);
    BYTE buffer[64] = {};
    ULONG result = 0;
    ASSERT_EQ(NtEnumerateValueKey(key, 0, KeyValueBasicInformation, buffer, sizeof buffer, &result), STATUS_SUCCESS);
    EXPECT_EQ(result, 12u + 6u);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer + 12), 3), u"2.0");

    UNICODE_STRING name;
    RtlInitUnicodeString(&name, u"2.0");
    ASSERT_EQ(NtQueryValueKey(key, &name, KeyValuePartialInformation, buffer, sizeof buffer, &result), STATUS_SUCCESS);
    EXPECT_EQ(buffer[12 + 2], 3);
    RtlInitUnicodeString(&name, u"9.9");
    EXPECT_EQ(NtQueryValueKey(key, &name, KeyValuePartialInformation, buffer, sizeof buffer, &result),
              STATUS_OBJECT_NAME_NOT_FOUND);
    NtClose(key);
}

// The history store's own round trip: nodes of exactly 1320 bytes come back in
// order, a value of another size is there but recognisably different.
TEST_F(NtRegistryTest, HistoryValuesRoundTrip) {
    HANDLE key = HistoryKey();
    ASSERT_EQ(SetBinary(key, u"7.0", std::vector<BYTE>(kNodeSize, 0x70)), STATUS_SUCCESS);
    ASSERT_EQ(SetBinary(key, u"7.1", std::vector<BYTE>(kNodeSize, 0x71)), STATUS_SUCCESS);
    ASSERT_EQ(SetBinary(key, u"1.0", std::vector<BYTE>(kNodeSize - 1, 0x10)), STATUS_SUCCESS);
    NtClose(key);

    key = HistoryKey();
    std::vector<std::pair<ULONG, BYTE>> seen;
    std::vector<BYTE> buffer(1400);
    ULONG result = 0;
    for (ULONG i = 0;; ++i) {
        const NTSTATUS status = NtEnumerateValueKey(key, i, KeyValuePartialInformation, buffer.data(), 1400, &result);
        if (status == STATUS_NO_MORE_ENTRIES) break;
        ASSERT_EQ(status, STATUS_SUCCESS);
        const auto* info = reinterpret_cast<const KEY_VALUE_PARTIAL_INFORMATION*>(buffer.data());
        seen.emplace_back(info->DataLength, info->Data[kNodeSize - 2]);
    }
    const std::vector<std::pair<ULONG, BYTE>> expected = {{kNodeSize, 0x70}, {kNodeSize, 0x71}, {kNodeSize - 1, 0x10}};
    EXPECT_EQ(seen, expected);
    NtClose(key);
}

TEST_F(NtRegistryTest, VolatileSubkeyIsNewAfterTheBootIdChanges) {
    HANDLE history = HistoryKey();
    const auto create_fresh = [&] {
        HANDLE fresh = nullptr;
        ULONG disposition = 0;
        EXPECT_EQ(Create(u"Fresh", REG_OPTION_VOLATILE, &fresh, &disposition, history), STATUS_SUCCESS);
        NtClose(fresh);
        return disposition;
    };
    EXPECT_EQ(create_fresh(), ULONG(REG_CREATED_NEW_KEY));
    EXPECT_EQ(create_fresh(), ULONG(REG_OPENED_EXISTING_KEY));
    NtClose(history);

    m_root.SetBootId("boot-2");
    history = HistoryKey();
    EXPECT_EQ(create_fresh(), ULONG(REG_CREATED_NEW_KEY));
    NtClose(history);
}

TEST_F(NtRegistryTest, DeleteKeyNeedsAnEmptyKey) {
    HANDLE history = HistoryKey();
    HANDLE fresh = nullptr;
    ASSERT_EQ(Create(u"Fresh", REG_OPTION_VOLATILE, &fresh, nullptr, history), STATUS_SUCCESS);
    EXPECT_EQ(NtDeleteKey(history), STATUS_CANNOT_DELETE);
    EXPECT_EQ(NtDeleteKey(fresh), STATUS_SUCCESS);
    EXPECT_EQ(SetBinary(fresh, u"x", {1}), STATUS_KEY_DELETED);
    EXPECT_EQ(NtDeleteKey(history), STATUS_SUCCESS);
    NtClose(fresh);
    NtClose(history);
}

}  // namespace
