#include "resource/avi_builder.h"

#include <png.h>

#include <bit>
#include <cstring>

#include "base/format.h"

namespace plat::resource {
namespace {

struct Frame {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<std::uint8_t> bgra;  // top-down
};

std::optional<Frame> DecodePng(std::span<const std::uint8_t> file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return std::nullopt;
    image.format = PNG_FORMAT_BGRA;
    Frame f;
    f.width = image.width;
    f.height = image.height;
    if (f.width == 0 || f.height == 0 || f.width > 4096 || f.height > 4096) {
        png_image_free(&image);
        return std::nullopt;
    }
    f.bgra.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, f.bgra.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return f;
}

// Little-endian writer with RIFF chunks.
class Riff {
public:
    void U16(std::uint32_t v) {
        for (int i = 0; i < 2; ++i) m_bytes.push_back(std::uint8_t(v >> (8 * i)));
    }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) m_bytes.push_back(std::uint8_t(v >> (8 * i)));
    }
    void Tag(const char* fourcc) { m_bytes.insert(m_bytes.end(), fourcc, fourcc + 4); }
    void Bytes(const std::vector<std::uint8_t>& b) { m_bytes.insert(m_bytes.end(), b.begin(), b.end()); }
    // Opens a chunk (or a LIST with its kind) and returns where its size goes.
    std::size_t Open(const char* fourcc, const char* list_kind = nullptr) {
        Tag(fourcc);
        const std::size_t at = m_bytes.size();
        U32(0);
        if (list_kind) Tag(list_kind);
        return at;
    }
    void Close(std::size_t at) {
        const std::uint32_t size = std::uint32_t(m_bytes.size() - at - 4);
        std::memcpy(&m_bytes[at], &size, 4);  // the build is little-endian, as the format
        if (size & 1) m_bytes.push_back(0);
    }
    std::size_t Size() const { return m_bytes.size(); }
    std::vector<std::uint8_t> Take() { return std::move(m_bytes); }

private:
    std::vector<std::uint8_t> m_bytes;
};

static_assert(std::endian::native == std::endian::little);

// 24-bit bottom-up rows padded to 4 bytes, composed over black.
std::vector<std::uint8_t> DibRows(const Frame& f) {
    const std::size_t stride = (std::size_t(f.width) * 3 + 3) & ~std::size_t(3);
    std::vector<std::uint8_t> out(stride * f.height, 0);
    for (unsigned y = 0; y < f.height; ++y) {
        const std::uint8_t* src = &f.bgra[std::size_t(y) * f.width * 4];
        std::uint8_t* dst = &out[stride * (f.height - 1 - y)];
        for (unsigned x = 0; x < f.width; ++x, src += 4, dst += 3)
            for (int c = 0; c < 3; ++c) dst[c] = std::uint8_t(src[c] * src[3] / 255);
    }
    return out;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> BuildAviFromPngFrames(const std::vector<std::vector<std::uint8_t>>& frames,
                                                               unsigned fps, std::string* error) {
    auto fail = [&](std::string why) -> std::optional<std::vector<std::uint8_t>> {
        if (error) *error = std::move(why);
        return std::nullopt;
    };
    if (frames.empty()) return fail("a clip needs at least one frame");
    if (fps < 1 || fps > 1000) return fail(Format("frame rate %u out of range 1..1000", fps));
    std::vector<std::vector<std::uint8_t>> rows;
    unsigned width = 0, height = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto frame = DecodePng(frames[i]);
        if (!frame) return fail(Format("frame %zu is not a readable PNG image", i + 1));
        if (i == 0) {
            width = frame->width;
            height = frame->height;
        } else if (frame->width != width || frame->height != height) {
            return fail(Format("frame %zu is %ux%u, the first is %ux%u", i + 1, frame->width, frame->height, width, height));
        }
        rows.push_back(DibRows(*frame));
    }
    const std::uint32_t frameBytes = std::uint32_t(rows.front().size());
    const std::uint32_t count = std::uint32_t(rows.size());

    Riff riff;
    const std::size_t file = riff.Open("RIFF", "AVI ");
    const std::size_t hdrl = riff.Open("LIST", "hdrl");
    const std::size_t avih = riff.Open("avih");
    for (std::uint32_t v : {1000000u / fps, frameBytes * fps, 0u, 0x10u /* AVIF_HASINDEX */, count, 0u, 1u, frameBytes,
                            width, height, 0u, 0u, 0u, 0u})
        riff.U32(v);
    riff.Close(avih);
    const std::size_t strl = riff.Open("LIST", "strl");
    const std::size_t strh = riff.Open("strh");
    riff.Tag("vids");
    riff.Tag("DIB ");
    for (std::uint32_t v : {0u, 0u, 0u, 1u, fps, 0u, count, frameBytes, 0xFFFFFFFFu, 0u}) riff.U32(v);
    for (std::uint32_t v : {0u, 0u, width, height}) riff.U16(v);  // rcFrame
    riff.Close(strh);
    const std::size_t strf = riff.Open("strf");  // BITMAPINFOHEADER
    for (std::uint32_t v : {40u, width, height}) riff.U32(v);
    riff.U16(1);
    riff.U16(24);
    for (std::uint32_t v : {0u, frameBytes, 0u, 0u, 0u, 0u}) riff.U32(v);
    riff.Close(strf);
    riff.Close(strl);
    riff.Close(hdrl);
    const std::size_t movi = riff.Open("LIST", "movi");
    const std::size_t moviStart = movi + 4;  // index offsets count from the 'movi' tag
    std::vector<std::uint32_t> offsets;
    for (const auto& r : rows) {
        offsets.push_back(std::uint32_t(riff.Size() - moviStart));
        const std::size_t chunk = riff.Open("00db");
        riff.Bytes(r);
        riff.Close(chunk);
    }
    riff.Close(movi);
    const std::size_t idx1 = riff.Open("idx1");
    for (std::uint32_t offset : offsets) {
        riff.Tag("00db");
        riff.U32(0x10);  // AVIIF_KEYFRAME
        riff.U32(offset);
        riff.U32(frameBytes);
    }
    riff.Close(idx1);
    riff.Close(file);
    return riff.Take();
}

}  // namespace plat::resource
