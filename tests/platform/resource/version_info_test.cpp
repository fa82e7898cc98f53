#include "resource/version_info.h"

#include <gtest/gtest.h>

#include <vector>

#include "resource/module.h"

using namespace plat::resource;

namespace {

std::u16string SamplePath(const char* name) { return WindowsPath(std::string(SAMPLE_DIR) + "/" + name); }

}  // namespace

TEST(VersionInfo, FixedVersionOfEachSampleLibrary) {
    const struct {
        const char* file;
        DWORD ms, ls;
    } cases[] = {{"LUMEXRS.DLL", 0x00010000, 0x00020007}, {"WRONGVER.DLL", 0x00010000, 0x00030000}};
    for (const auto& c : cases) {
        const std::u16string path = SamplePath(c.file);
        DWORD handle = 1;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
        ASSERT_GT(size, 0u) << c.file;
        EXPECT_EQ(handle, 0u);
        std::vector<std::uint8_t> block(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
        VS_FIXEDFILEINFO* info = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), u"\\", reinterpret_cast<LPVOID*>(&info), &length));
        EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
        EXPECT_EQ(info->dwSignature, VS_FFI_SIGNATURE);
        EXPECT_EQ(info->dwFileVersionMS, c.ms) << c.file;
        EXPECT_EQ(info->dwFileVersionLS, c.ls) << c.file;
        LPVOID text = nullptr;
        EXPECT_FALSE(VerQueryValueW(block.data(), u"\\StringFileInfo\\040904b0\\FileVersion", &text, &length));
    }
}

TEST(VersionInfo, ShortBufferAndFilesWithoutVersion) {
    const std::u16string path = SamplePath("LUMEXRS.DLL");
    std::vector<std::uint8_t> small(10, 0xCC);
    small.resize(12, 0xCC);
    EXPECT_FALSE(GetFileVersionInfoW(path.c_str(), 0, 10, small.data()));
    EXPECT_EQ(small[10], 0xCC);  // nothing past the given length
    EXPECT_EQ(GetFileVersionInfoSizeW(SamplePath("PLAIN.DLL").c_str(), nullptr), 0u);
    EXPECT_EQ(GetFileVersionInfoSizeW(SamplePath("MISSING.DLL").c_str(), nullptr), 0u);
}
