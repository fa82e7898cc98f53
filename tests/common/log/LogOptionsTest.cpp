#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "base/format.h"
#include "base/hresult.h"
#include "base/thread.h"
#include "base/win_errors.h"
#include "log/BinaryRecordReader.h"
#include "log/Log.h"
#include "registry/registry.h"
#include "LogTestSupport.h"

namespace {

constexpr const WCHAR* kKey = u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1";

class LogOptionsTest : public logtest::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        setenv("LUMETRA_ROOT", m_dir.c_str(), 1);
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(m_key);
        unsetenv("LUMETRA_ROOT");
        LogFixture::TearDown();
    }
    void SetNumber(const WCHAR* name, DWORD value) {
        ASSERT_EQ(RegSetValueExW(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
                  ERROR_SUCCESS);
    }
    void SetText(const WCHAR* name, const std::u16string& text) {
        ASSERT_EQ(RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 DWORD((text.size() + 1) * sizeof(WCHAR))),
                  ERROR_SUCCESS);
    }
    // The messages of a binary log written with `count`.
    std::vector<std::string> BinaryMessages(const std::string& name, unsigned count) {
        const std::string data = logtest::ReadAll(Path(name));
        logging::BinaryRecordReader reader(std::span(reinterpret_cast<const BYTE*>(data.data()), data.size()), count);
        std::vector<std::string> messages;
        for (logging::DecodedRecord r; reader.Next(r) == logging::ReadStatus::Record;) messages.push_back(r.message);
        return messages;
    }

    HKEY m_key = nullptr;
    CLog m_log;
};

TEST_F(LogOptionsTest, MissingRootOrKeyPathIsRefused) {
    EXPECT_EQ(m_log.ReadOptions(nullptr, nullptr, kKey, 0), E_INVALIDARG);
    EXPECT_EQ(m_log.ReadOptions(nullptr, HKEY_LOCAL_MACHINE, u"", 0), E_INVALIDARG);
    EXPECT_EQ(m_log.ReadOptions(nullptr, HKEY_LOCAL_MACHINE, nullptr, 0), E_INVALIDARG);
}

TEST_F(LogOptionsTest, PlainTextFileStartsWithTheDiagnosticsDump) {
    SetNumber(u"__LogLevel__", 5);
    SetNumber(u"__LogToFile__", 1);
    SetNumber(u"__LogNoEncrypt_@@__", 5826);
    SetText(u"__LogFile__", WidePath("gui_%P.log"));
    ASSERT_EQ(m_log.ReadOptions(nullptr, HKEY_LOCAL_MACHINE, kKey, 0), S_OK);
    EXPECT_EQ(m_log.GetLevel(), 5);
    const std::string text = logtest::ReadAll(Path(plat::Format("gui_%lu.log", GetCurrentProcessId())));
    EXPECT_NE(text.find(plat::Format("AUD: LOGD:[08%x] -> (diag_level=0x1, log_level=0x5\r\n", GetCurrentThreadId())),
              std::string::npos);
    EXPECT_NE(text.find("] computername='"), std::string::npos);
    EXPECT_NE(text.find("] <-\r\n"), std::string::npos);
}

TEST_F(LogOptionsTest, ScrambledBinaryFileUnlessTheMagicValueIsSet) {
    struct Case {
        DWORD noEncrypt;
        BYTE given;
        unsigned used;
    } cases[] = {{0, 0, CLog::kDefaultScrambleCount}, {5827, 0, CLog::kDefaultScrambleCount}, {1, 5, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.noEncrypt);
        const std::string name = plat::Format("bin_%lu.log", c.noEncrypt);
        SetNumber(u"__LogLevel__", 5);
        SetNumber(u"__LogToFile__", 1);
        SetNumber(u"__LogNoEncrypt_@@__", c.noEncrypt);
        SetText(u"__LogFile__", WidePath(name));
        CLog log;
        ASSERT_EQ(log.ReadOptions(nullptr, HKEY_LOCAL_MACHINE, kKey, c.given), S_OK);
        log.Close();
        const auto messages = BinaryMessages(name, c.used);
        ASSERT_GE(messages.size(), 3u);
        EXPECT_NE(messages[0].find("-> (diag_level=0x1, log_level=0x5"), std::string::npos) << messages[0];
        EXPECT_NE(messages.back().find("<-"), std::string::npos);
    }
}

TEST_F(LogOptionsTest, ConsoleGetsTheDumpUnlessTheFileCannotBeOpened) {
    SetNumber(u"__LogLevel__", 5);
    SetNumber(u"__OpenConsole__", 1);
    testing::internal::CaptureStdout();
    ASSERT_EQ(m_log.ReadOptions(nullptr, HKEY_LOCAL_MACHINE, kKey, 0), S_OK);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("AUD: LOGD:"), std::string::npos);

    SetNumber(u"__LogToFile__", 1);
    SetText(u"__LogFile__", WidePath("missing/dir/gui.log"));
    CLog log;
    testing::internal::CaptureStdout();
    ASSERT_EQ(log.ReadOptions(nullptr, HKEY_LOCAL_MACHINE, kKey, 0), S_OK);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(log.GetLevel(), 5);
}

}  // namespace
