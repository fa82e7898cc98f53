// Clips built from PNG frames, read back by the animation control's parser,
// and the script statement that builds them.
#include "resource/avi_builder.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "resource/resource_script.h"
#include "resource/resource_types.h"
#include "ui/avi_clip.h"

using namespace plat::resource;

namespace {

// A PNG of one colour (0xAARRGGBB), with its top-left pixel `corner`.
std::vector<std::uint8_t> Png(unsigned width, unsigned height, std::uint32_t argb, std::uint32_t corner) {
    std::vector<std::uint8_t> bgra(std::size_t(width) * height * 4);
    for (std::size_t i = 0; i < std::size_t(width) * height; ++i) {
        const std::uint32_t c = i == 0 ? corner : argb;
        bgra[4 * i] = std::uint8_t(c);
        bgra[4 * i + 1] = std::uint8_t(c >> 8);
        bgra[4 * i + 2] = std::uint8_t(c >> 16);
        bgra[4 * i + 3] = std::uint8_t(c >> 24);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_BGRA;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, bgra.data(), 0, nullptr));
    std::vector<std::uint8_t> out(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, bgra.data(), 0, nullptr));
    out.resize(size);
    return out;
}

std::uint32_t Rgb(const plat::ui::Bitmap& b, int x, int y) { return b.Get(x, y) & 0xFFFFFF; }

}  // namespace

TEST(AviBuilder, FramesRateAndPixelsSurviveTheAnimationParser) {
    // An odd width makes the rows need padding; the corner is half transparent.
    const std::vector<std::vector<std::uint8_t>> frames = {Png(5, 3, 0xFFFF0000, 0x80FFFFFF),
                                                           Png(5, 3, 0xFF00FF00, 0xFF0000FF),
                                                           Png(5, 3, 0x000000FF, 0xFF123456)};
    std::string error;
    const auto avi = BuildAviFromPngFrames(frames, 8, &error);
    ASSERT_TRUE(avi) << error;
    const auto clip = plat::ui::ParseAviClip(*avi);
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->frameMs, 125u);
    ASSERT_EQ(clip->frames.size(), 3u);
    const plat::ui::Bitmap& first = *clip->frames[0];
    EXPECT_EQ(first.Width(), 5);
    EXPECT_EQ(first.Height(), 3);
    EXPECT_EQ(Rgb(first, 0, 0), 0x808080u) << "top row first; half-transparent white over black";
    EXPECT_EQ(Rgb(first, 4, 2), 0xFF0000u);
    EXPECT_EQ(Rgb(*clip->frames[1], 0, 0), 0x0000FFu);
    EXPECT_EQ(Rgb(*clip->frames[1], 3, 1), 0x00FF00u);
    EXPECT_EQ(Rgb(*clip->frames[2], 2, 2), 0x000000u) << "transparent pixels are the black background";
    EXPECT_EQ(std::string(avi->begin() + 8, avi->begin() + 12), "AVI ");
    EXPECT_EQ(std::uint32_t((*avi)[4] | (*avi)[5] << 8 | (*avi)[6] << 16 | (*avi)[7] << 24), avi->size() - 8);
}

TEST(AviBuilder, RefusesWhatCannotMakeAClip) {
    const struct {
        std::vector<std::vector<std::uint8_t>> frames;
        unsigned fps;
        const char* error;
    } cases[] = {
        {{}, 10, "a clip needs at least one frame"},
        {{Png(4, 4, 0xFF000000, 0xFF000000)}, 0, "frame rate 0 out of range 1..1000"},
        {{Png(4, 4, 0xFF000000, 0xFF000000), {'n', 'o', 't'}}, 10, "frame 2 is not a readable PNG image"},
        {{Png(4, 4, 0xFF000000, 0xFF000000), Png(4, 5, 0xFF000000, 0xFF000000)}, 10,
         "frame 2 is 4x5, the first is 4x4"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(BuildAviFromPngFrames(c.frames, c.fps, &error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(AviBuilder, TheScriptBuildsAClipFromItsFrames) {
    const auto dir = std::filesystem::temp_directory_path() / ("avi_builder_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    for (int i : {1, 2}) {
        const auto png = Png(6, 6, i == 1 ? 0xFF202020 : 0xFFE0E0E0, 0xFF000000);
        std::ofstream(dir / ("f" + std::to_string(i) + ".png"), std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    }
    const std::string script = (dir / "clip.rcs").string();
    auto r = CompileResourceScript("AVI 302 RATE 5 BEGIN \"f1.png\" \"f2.png\" END", script);
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].type, RT_AVI);
    const auto clip = plat::ui::ParseAviClip(r.entries[0].data);
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->frames.size(), 2u);
    EXPECT_EQ(clip->frameMs, 200u);
    r = CompileResourceScript("\nAVI 303 RATE 5 BEGIN \"f1.png\" \"missing.png\" END", script);
    EXPECT_EQ(r.error, script + ":2: cannot read " + (dir / "missing.png").string());
    std::filesystem::remove_all(dir);
}
