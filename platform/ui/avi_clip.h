// Uncompressed RIFF AVI clips, as the animation control plays them: the
// frame duration from the main header, the frame format from the video
// stream's BITMAPINFOHEADER (8 bits with palette, 24 or 32 bits), and the
// frames from the 'movi' list ('##db' chunks, also '##dc' when stored
// uncompressed). Compressed clips are refused.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "ui/bitmap.h"

namespace plat::ui {

struct AviClip {
    std::uint32_t frameMs = 100;
    std::vector<std::shared_ptr<Bitmap>> frames;  // 32 bits, top-down
};

std::optional<AviClip> ParseAviClip(std::span<const std::uint8_t> file);

}  // namespace plat::ui
