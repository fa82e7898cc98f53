// Damaged image files and clips from a resource library: refused whole,
// before anything is allocated for what they only claim to hold.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ui/avi_clip.h"
#include "ui/image_decode.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes SampleFile(const std::string& name) {
    std::ifstream in(std::string(LUMETRA_SOURCE_DIR) + "/tests/platform/resource/sample/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}
void Put32Be(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (24 - 8 * i));
}

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG of `width` x `height` RGBA pixels whose image data is one tiny
// chunk: the header is valid, the data cannot hold what it claims.
Bytes PngClaiming(std::uint32_t width, std::uint32_t height) {
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&png](const char* type, const Bytes& data) {
        Bytes c(4 + 4 + data.size() + 4);
        Put32Be(c, 0, std::uint32_t(data.size()));
        std::copy(type, type + 4, c.begin() + 4);
        std::copy(data.begin(), data.end(), c.begin() + 8);
        Put32Be(c, 8 + data.size(), Crc32(c.data() + 4, 4 + data.size()));
        png.insert(png.end(), c.begin(), c.end());
    };
    Bytes header(13);
    Put32Be(header, 0, width);
    Put32Be(header, 4, height);
    header[8] = 8;  // bits per sample
    header[9] = 6;  // RGBA
    chunk("IHDR", header);
    chunk("IDAT", {0x78, 0x9C, 0x63, 0, 0, 0, 1, 0, 1});
    chunk("IEND", {});
    return png;
}

TEST(DamagedImages, APngLargerThanItsDataCouldHoldIsRefused) {
    // 16384 x 16384 pixels would be 1 GiB: refused before it is allocated
    // (the fuzz targets' allocation limit proves that part).
    EXPECT_EQ(plat::ui::DecodeImage(PngClaiming(16384, 16384)), nullptr);
    EXPECT_EQ(plat::ui::DecodeImage(PngClaiming(4096, 4096)), nullptr);
    const auto sample = plat::ui::DecodeImage(SampleFile("tray.png"));
    ASSERT_NE(sample, nullptr) << "a real image still decodes";
    EXPECT_GT(sample->Width(), 0);
}

TEST(DamagedImages, AClipWhoseRiffSizeCannotHoldItsFormIsRefused) {
    Bytes clip = SampleFile("busy.avi");
    ASSERT_GT(clip.size(), 12u);
    ASSERT_TRUE(plat::ui::ParseAviClip(clip).has_value()) << "the sample clip itself is good";
    for (std::uint32_t riff_size : {0u, 1u, 3u}) {
        Put32(clip, 4, riff_size);
        EXPECT_FALSE(plat::ui::ParseAviClip(clip).has_value()) << "RIFF size " << riff_size;
    }
    Put32(clip, 4, 0xFFFFFFFFu);  // larger than the file: only the file is read
    EXPECT_TRUE(plat::ui::ParseAviClip(clip).has_value());
}

}  // namespace
