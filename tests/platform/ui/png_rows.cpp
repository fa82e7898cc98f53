#include "png_rows.h"

namespace xvfbtest {

std::vector<std::vector<png_byte>> ReadPng(const std::string& path, int* width) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<std::vector<png_byte>> rows;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return rows;
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> buffer(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) return rows;
    *width = int(image.width);
    for (png_uint_32 y = 0; y < image.height; ++y)
        rows.emplace_back(buffer.begin() + y * image.width * 4, buffer.begin() + (y + 1) * image.width * 4);
    return rows;
}

}  // namespace xvfbtest
