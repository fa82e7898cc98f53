// Shared fixtures of the log tests: a private directory, whole-file reads,
// UTC as local time and a manual clock at 2007-03-05 14:02:09.031 UTC.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/clock.h"
#include "base/hresult.h"
#include "log/Log.h"

namespace logtest {

inline constexpr std::uint64_t kStampTime = 116444736000000000ull + 1173103329ull * 10000000ull + 31ull * 10000ull;

inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class LogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        char pattern[] = "/tmp/lumetra-log-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::filesystem::path Path(const std::string& name) const { return m_dir / name; }
    std::u16string WidePath(const std::string& name) const { return Path(name).u16string(); }
    // Names the log, sets its level (no thread prefix) and opens one output.
    bool StartLog(CLog& log, const std::string& file, LONG level, int index = CLog::kTextOutput, BYTE count = 0) {
        return log.Init(u"TEST", FALSE, level, FALSE) == S_OK &&
               log.OpenFile(WidePath(file).c_str(), index, TRUE, count);
    }

    plat::ScopedManualClock m_clock{kStampTime};
    std::filesystem::path m_dir;
};

}  // namespace logtest
