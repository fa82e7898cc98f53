// Reading a PNG file back as rows of RGBA bytes, for tests that compare
// screenshots with what they expect.
#pragma once

#include <png.h>

#include <string>
#include <vector>

namespace xvfbtest {

// The rows of `path` as RGBA bytes and its width; empty when it cannot be read.
std::vector<std::vector<png_byte>> ReadPng(const std::string& path, int* width);

}  // namespace xvfbtest
