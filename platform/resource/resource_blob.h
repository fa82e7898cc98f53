// The table of resources a resource library carries: a flat little-endian
// block the resource compiler writes and the loader reads in place.
//
//   "LRS1"  u32 entry count
//   entries: u32 type, u32 id, u32 offset (from the block start), u32 size
//   data
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace plat::resource {

struct ResourceEntry {
    std::uint32_t type = 0;
    std::uint32_t id = 0;
    std::vector<std::uint8_t> data;
};

struct ResourceView {
    std::uint32_t type = 0;
    std::uint32_t id = 0;
    std::span<const std::uint8_t> data;
};

std::vector<std::uint8_t> SerializeResources(const std::vector<ResourceEntry>& entries);

// Checks every offset against the block; a damaged block yields nothing.
std::optional<std::vector<ResourceView>> ParseResources(std::span<const std::uint8_t> block);

}  // namespace plat::resource
