#include "ui/image_file.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace plat::ui {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

bool WritePng(const std::string& path, const Bitmap& bitmap, bool keep_alpha) {
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<std::uint8_t> row(std::size_t(bitmap.Width()) * 4);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, png_uint_32(bitmap.Width()), png_uint_32(bitmap.Height()), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            const std::uint32_t p = bitmap.Get(x, y);
            row[std::size_t(x) * 4 + 0] = std::uint8_t(p >> 16);
            row[std::size_t(x) * 4 + 1] = std::uint8_t(p >> 8);
            row[std::size_t(x) * 4 + 2] = std::uint8_t(p);
            row[std::size_t(x) * 4 + 3] = keep_alpha ? std::uint8_t(p >> 24) : 255;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fflush(file.get()) == 0;
}

bool WriteBmp(const std::string& path, const Bitmap& bitmap) {
    const int stride = Bitmap::StrideFor(bitmap.Width(), 24);
    const std::uint32_t image = std::uint32_t(stride) * std::uint32_t(bitmap.Height());
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, 14 + 40 + image);
    Put32(out, 0);
    Put32(out, 14 + 40);
    Put32(out, 40);
    Put32(out, std::uint32_t(bitmap.Width()));
    Put32(out, std::uint32_t(bitmap.Height()));
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, image);
    Put32(out, 3780);  // 96 dpi in pixels per metre
    Put32(out, 3780);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = bitmap.Height() - 1; y >= 0; --y) {
        const std::size_t start = out.size();
        for (int x = 0; x < bitmap.Width(); ++x) {
            const std::uint32_t p = bitmap.Get(x, y);
            out.push_back(std::uint8_t(p));
            out.push_back(std::uint8_t(p >> 8));
            out.push_back(std::uint8_t(p >> 16));
        }
        out.resize(start + std::size_t(stride), 0);
    }
    File file(std::fopen(path.c_str(), "wb"));
    return file && std::fwrite(out.data(), 1, out.size(), file.get()) == out.size() && std::fflush(file.get()) == 0;
}

}  // namespace plat::ui
