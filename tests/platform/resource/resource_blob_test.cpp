#include "resource/resource_blob.h"

#include <gtest/gtest.h>

using namespace plat::resource;

TEST(ResourceBlob, RoundTripKeepsTypesIdsAndBytesAligned) {
    const std::vector<ResourceEntry> entries = {{6, 154, {1, 2, 3}}, {2, 200, {}}, {4, 500, {9, 8, 7, 6, 5}}};
    const auto block = SerializeResources(entries);
    const auto views = ParseResources(block);
    ASSERT_TRUE(views);
    ASSERT_EQ(views->size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ((*views)[i].type, entries[i].type);
        EXPECT_EQ((*views)[i].id, entries[i].id);
        EXPECT_EQ(std::vector<std::uint8_t>((*views)[i].data.begin(), (*views)[i].data.end()), entries[i].data);
        EXPECT_EQ((reinterpret_cast<std::uintptr_t>((*views)[i].data.data()) - reinterpret_cast<std::uintptr_t>(block.data())) % 4, 0u);
    }
}

TEST(ResourceBlob, DamagedBlocksAreRejected) {
    const auto good = SerializeResources({{6, 1, {1, 2, 3, 4}}});
    auto bad_magic = good;
    bad_magic[0] = 'X';
    auto truncated = good;
    truncated.resize(good.size() - 2);
    auto huge_count = good;
    huge_count[7] = 0x7F;
    auto size_past_end = good;
    size_past_end[8 + 12] = 0xFF;
    for (const auto& block : {bad_magic, truncated, huge_count, size_past_end}) EXPECT_FALSE(ParseResources(block));
    EXPECT_FALSE(ParseResources({}));
}
