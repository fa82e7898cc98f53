#include "ui/image_decode.h"

#include <png.h>

#include <cstring>

namespace plat::ui {
namespace {

std::uint32_t U32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
std::uint16_t U16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

// The best ratio deflate reaches (RFC 1951: a 258-byte match in about two
// bits), and room for the rows' filter bytes and tiny images.
constexpr std::uint64_t kDeflateRatio = 1032;
constexpr std::uint64_t kDecodeSlack = 1u << 16;

// BITMAPFILEHEADER (14 bytes) + BITMAPINFOHEADER, bottom-up or top-down rows.
std::shared_ptr<Bitmap> DecodeBmp(std::span<const std::uint8_t> f) {
    if (f.size() < 54) return nullptr;
    const std::uint32_t data_offset = U32(&f[10]);
    const std::uint32_t header_size = U32(&f[14]);
    const std::int32_t width = std::int32_t(U32(&f[18]));
    const std::int32_t raw_height = std::int32_t(U32(&f[22]));
    const int bpp = U16(&f[28]);
    const std::uint32_t compression = U32(&f[30]);
    const std::uint32_t colors_used = U32(&f[46]);
    const bool top_down = raw_height < 0;
    const std::int64_t height = top_down ? -std::int64_t(raw_height) : raw_height;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    if (compression != 0 && compression != 3) return nullptr;  // BI_RGB, or BI_BITFIELDS with the usual masks
    if (bpp != 8 && bpp != 24 && bpp != 32) return nullptr;
    const std::size_t stride = std::size_t(Bitmap::StrideFor(width, bpp));
    if (data_offset + stride * std::size_t(height) > f.size()) return nullptr;
    const std::size_t palette_at = 14 + header_size;
    const std::size_t palette_count = bpp == 8 ? (colors_used ? colors_used : 256) : 0;
    if (palette_at + palette_count * 4 > f.size() || palette_count > 256) return nullptr;

    auto bitmap = std::make_shared<Bitmap>(width, int(height), 32);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = &f[data_offset + stride * std::size_t(top_down ? y : height - 1 - y)];
        for (int x = 0; x < width; ++x) {
            std::uint32_t argb = 0;
            if (bpp == 32) {
                argb = U32(row + 4 * x);
            } else if (bpp == 24) {
                argb = 0xFF000000u | row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
            } else {
                const std::size_t index = row[x];
                if (index >= palette_count) return nullptr;
                argb = 0xFF000000u | (U32(&f[palette_at + 4 * index]) & 0xFFFFFF);
            }
            bitmap->Set(x, y, argb);
        }
    }
    return bitmap;
}

struct PngInput {
    std::span<const std::uint8_t> file;
    std::size_t pos = 0;
};

void ReadPngBytes(png_structp png, png_bytep out, png_size_t count) {
    auto* in = static_cast<PngInput*>(png_get_io_ptr(png));
    if (in->pos + count > in->file.size()) png_error(png, "truncated");
    std::memcpy(out, in->file.data() + in->pos, count);
    in->pos += count;
}

std::shared_ptr<Bitmap> DecodePng(std::span<const std::uint8_t> f) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }
    PngInput input{f};
    std::shared_ptr<Bitmap> bitmap;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return nullptr;
    }
    png_set_read_fn(png, &input, ReadPngBytes);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (width == 0 || height == 0 || width > 16384 || height > 16384) png_error(png, "size");
    // Deflate packs at most about 1032 bytes into one, so an image larger
    // than that many times its file cannot be in it: refuse it before its
    // pixels are allocated, or a 60-byte file could claim a gigabyte.
    if (std::uint64_t(width) * height * 4 > kDeflateRatio * std::uint64_t(f.size()) + kDecodeSlack)
        png_error(png, "larger than its data");
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);  // memory order B, G, R, A = ARGB in a little-endian word
    png_read_update_info(png, info);
    bitmap = std::make_shared<Bitmap>(int(width), int(height), 32);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = bitmap->Row(int(y));
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    return bitmap;
}

}  // namespace

std::shared_ptr<Bitmap> DecodeImage(std::span<const std::uint8_t> file) {
    if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') return DecodeBmp(file);
    if (file.size() >= 8 && png_sig_cmp(file.data(), 0, 8) == 0) return DecodePng(file);
    return nullptr;
}

}  // namespace plat::ui
