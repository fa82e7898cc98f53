#include "version/VersionRecord.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "base/hresult.h"
#include "base/last_error.h"
#include "base/win_errors.h"

namespace {

TEST(VersionPacking, WordsHoldMajorMinorBuildThenRevision) {
    const auto packed = version::Pack(1, 0x1234, 2, 77);
    EXPECT_EQ(packed.high, 0x01340002u);
    EXPECT_EQ(packed.low, 77u);
    EXPECT_EQ(version::Unpack(packed), (std::array<DWORD, 4>{1, 0x34, 2, 77}));
    EXPECT_EQ(version::Unpack(version::Pack(255, 255, 65535, 9)), (std::array<DWORD, 4>{255, 255, 65535, 9}));
}

TEST(VersionRecordFile, ThisTestProgramCarriesTheProductVersion) {
    version::VersionRecord record;
    ASSERT_EQ(version::ReadVersionRecord("/proc/self/exe", record), S_OK);
    const auto file = version::Unpack(record.file);
    EXPECT_EQ(file[0], 1u);
    EXPECT_EQ(file[1], 0u);
    EXPECT_EQ(file[2], 2u);
    EXPECT_EQ(record.product.high, record.file.high);
}

TEST(VersionRecordFile, FailuresNameTheirCause) {
    char text_file[] = "/tmp/lumetra-version-XXXXXX";
    const int fd = mkstemp(text_file);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "plain text, long enough to hold an ELF header's worth of bytes......", 68), 68);
    close(fd);
    const std::pair<std::string, DWORD> cases[] = {
        {"/nonexistent/file", ERROR_FILE_NOT_FOUND},
        {text_file, ERROR_BAD_FORMAT},
        {"/usr/lib/x86_64-linux-gnu/libsqlite3.so.0", ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const auto& [path, error] : cases) {
        version::VersionRecord record;
        EXPECT_EQ(version::ReadVersionRecord(path, record), HRESULT_FROM_WIN32(error)) << path;
        EXPECT_EQ(GetLastError(), error) << path;
    }
    std::remove(text_file);
}

}  // namespace
