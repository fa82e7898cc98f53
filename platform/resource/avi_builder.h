// Builds an uncompressed RIFF AVI clip, as the animation control plays it,
// from PNG frames of one size and a frame rate: one video stream of 24-bit
// bottom-up DIB frames ('00db' chunks) with an index. Transparency is not
// kept: partly transparent pixels are composed over black, so a clip played
// with ACS_TRANSPARENT (the first pixel's colour is the background) shows
// the frames' transparent parts as the background.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace plat::resource {

// `frames` are PNG files; `fps` is 1 to 1000. Nothing, with the reason in
// *error, for no frames, a frame that is not a readable PNG, frames of
// different sizes or a rate out of range.
std::optional<std::vector<std::uint8_t>> BuildAviFromPngFrames(const std::vector<std::vector<std::uint8_t>>& frames,
                                                               unsigned fps, std::string* error);

}  // namespace plat::resource
