#include "resource/resource_blob.h"

#include <cstring>

namespace plat::resource {
namespace {

constexpr char kMagic[4] = {'L', 'R', 'S', '1'};
constexpr std::size_t kEntrySize = 16;

void PutU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

std::uint32_t GetU32(std::span<const std::uint8_t> in, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t(in[at + std::size_t(i)]) << (8 * i);
    return v;
}

}  // namespace

std::vector<std::uint8_t> SerializeResources(const std::vector<ResourceEntry>& entries) {
    const std::size_t header = 8 + kEntrySize * entries.size();
    std::vector<std::uint8_t> out(header);
    std::memcpy(out.data(), kMagic, 4);
    PutU32(out, 4, std::uint32_t(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t at = 8 + kEntrySize * i;
        PutU32(out, at, entries[i].type);
        PutU32(out, at + 4, entries[i].id);
        PutU32(out, at + 8, std::uint32_t(out.size()));
        PutU32(out, at + 12, std::uint32_t(entries[i].data.size()));
        out.insert(out.end(), entries[i].data.begin(), entries[i].data.end());
        while (out.size() % 4) out.push_back(0);  // keep every resource 4-byte aligned
    }
    return out;
}

std::optional<std::vector<ResourceView>> ParseResources(std::span<const std::uint8_t> block) {
    if (block.size() < 8 || std::memcmp(block.data(), kMagic, 4) != 0) return std::nullopt;
    const std::uint64_t count = GetU32(block, 4);
    if (8 + kEntrySize * count > block.size()) return std::nullopt;
    std::vector<ResourceView> views;
    views.reserve(std::size_t(count));
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 8 + kEntrySize * i;
        const std::uint64_t offset = GetU32(block, at + 8);
        const std::uint64_t size = GetU32(block, at + 12);
        if (offset + size > block.size()) return std::nullopt;
        views.push_back({GetU32(block, at), GetU32(block, at + 4), block.subspan(std::size_t(offset), std::size_t(size))});
    }
    return views;
}

}  // namespace plat::resource
