#include "ui/avi_clip.h"

#include <cstring>

namespace plat::ui {
namespace {

std::uint32_t U32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
bool Is(const std::uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

struct Format {
    int width = 0;
    int height = 0;  // negative: top-down rows
    int bpp = 0;
    std::vector<std::uint32_t> palette;
};

struct Reader {
    std::optional<std::uint32_t> frameUs;
    std::optional<Format> format;
    std::vector<std::span<const std::uint8_t>> frames;
    bool bad = false;

    // Walks the chunks in [data, data+size), descending into LIST chunks.
    void Walk(std::span<const std::uint8_t> data, int depth) {
        if (depth > 8) {
            bad = true;
            return;
        }
        for (std::size_t at = 0; at + 8 <= data.size();) {
            const std::uint8_t* head = data.data() + at;
            const std::uint32_t size = U32(head + 4);
            if (size > data.size() - at - 8) {
                bad = true;
                return;
            }
            const auto body = data.subspan(at + 8, size);
            if (Is(head, "LIST") && size >= 4) Walk(body.subspan(4), depth + 1);
            else Chunk(head, body);
            at += 8 + size + (size & 1);
        }
    }

    void Chunk(const std::uint8_t* head, std::span<const std::uint8_t> body) {
        if (Is(head, "avih") && body.size() >= 4) {
            frameUs = U32(body.data());
        } else if (Is(head, "strf") && body.size() >= 40 && !format) {
            Format f;
            f.width = int(U32(&body[4]));
            f.height = int(U32(&body[8]));
            f.bpp = body[14] | (body[15] << 8);
            const std::uint32_t compression = U32(&body[16]);
            if (compression != 0) {
                bad = true;  // only uncompressed frames
                return;
            }
            for (std::size_t p = 40; f.bpp == 8 && p + 4 <= body.size() && f.palette.size() < 256; p += 4)
                f.palette.push_back(0xFF000000u | (U32(&body[p]) & 0xFFFFFF));
            format = f;
        } else if ((head[2] == 'd' && (head[3] == 'b' || head[3] == 'c'))) {
            frames.push_back(body);
        }
    }
};

std::shared_ptr<Bitmap> DecodeFrame(const Format& f, std::span<const std::uint8_t> data) {
    const int height = f.height < 0 ? -f.height : f.height;
    const std::size_t stride = std::size_t(Bitmap::StrideFor(f.width, f.bpp));
    if (data.size() < stride * std::size_t(height)) return nullptr;
    auto frame = std::make_shared<Bitmap>(f.width, height, 32);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = data.data() + stride * std::size_t(f.height < 0 ? y : height - 1 - y);
        for (int x = 0; x < f.width; ++x) {
            std::uint32_t argb;
            if (f.bpp == 32) argb = 0xFF000000u | (U32(row + 4 * x) & 0xFFFFFF);
            else if (f.bpp == 24) argb = 0xFF000000u | row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
            else if (row[x] < f.palette.size()) argb = f.palette[row[x]];
            else return nullptr;
            frame->Set(x, y, argb);
        }
    }
    return frame;
}

}  // namespace

std::optional<AviClip> ParseAviClip(std::span<const std::uint8_t> file) {
    if (file.size() < 12 || !Is(file.data(), "RIFF") || !Is(file.data() + 8, "AVI ")) return std::nullopt;
    // The RIFF size counts the form type and the chunks; one too small to
    // hold the form type is a damaged file (it must not wrap the length).
    const std::uint32_t riff_size = U32(file.data() + 4);
    if (riff_size < 4) return std::nullopt;
    Reader reader;
    reader.Walk(file.subspan(12, std::min<std::size_t>(riff_size, file.size() - 8) - 4), 0);
    const auto& f = reader.format;
    if (reader.bad || !f || reader.frames.empty() || f->width <= 0 || f->width > 4096 || f->height == 0 ||
        f->height > 4096 || f->height < -4096 || (f->bpp != 8 && f->bpp != 24 && f->bpp != 32))
        return std::nullopt;
    AviClip clip;
    if (reader.frameUs && *reader.frameUs >= 1000) clip.frameMs = *reader.frameUs / 1000;
    for (const auto& data : reader.frames) {
        auto frame = DecodeFrame(*f, data);
        if (!frame) return std::nullopt;
        clip.frames.push_back(std::move(frame));
    }
    return clip;
}

}  // namespace plat::ui
