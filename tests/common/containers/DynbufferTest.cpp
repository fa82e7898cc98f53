#include "containers/dynbuffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <numeric>
#include <vector>

namespace {

std::vector<BYTE> Sequence(BYTE first, std::size_t n) {
    std::vector<BYTE> v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

void Fill(dynbuffer& buffer, BYTE first, std::size_t n) {
    const auto bytes = Sequence(first, n);
    ASSERT_TRUE(buffer.Append(bytes.data(), static_cast<DWORD>(n)));
}

std::vector<BYTE> TakeVector(dynbuffer& buffer, DWORD n) {
    BYTE* block = buffer.Take(n);
    if (!block) return {};
    std::vector<BYTE> v(block, block + n);
    std::free(block);
    return v;
}

TEST(Dynbuffer, FirstAppendAllocatesTwiceItsSizeAndGrowthKeepsRoom) {
    dynbuffer buffer;
    EXPECT_FALSE(buffer.Append(nullptr, 4));
    EXPECT_EQ(buffer.Take(1), nullptr);
    const auto bytes = Sequence(0, 12);
    ASSERT_TRUE(buffer.Append(bytes.data(), 6));
    EXPECT_EQ(buffer.Capacity(), 12u);
    ASSERT_TRUE(buffer.Append(bytes.data() + 6, 6));
    EXPECT_EQ(buffer.Capacity(), 24u);
    EXPECT_EQ(std::vector<BYTE>(buffer.Peek(), buffer.Peek() + 12), bytes);
}

TEST(Dynbuffer, TakingMostOfAnUnconsumedBufferHandsItOver) {
    dynbuffer buffer;
    Fill(buffer, 1, 12);
    const BYTE* original = buffer.Peek();
    BYTE* block = buffer.Take(10);
    EXPECT_EQ(block, original);
    EXPECT_EQ(std::vector<BYTE>(block, block + 10), Sequence(1, 10));
    std::free(block);
    EXPECT_EQ(buffer.Available(), 2u);
    EXPECT_EQ(buffer.Capacity(), 4u);
    EXPECT_EQ(buffer.Peek()[0], 11);
    EXPECT_EQ(buffer.Peek()[1], 12);
}

TEST(Dynbuffer, TakingASmallPrefixCopiesAndAdvancesWithoutCompacting) {
    dynbuffer buffer;
    Fill(buffer, 1, 12);
    EXPECT_EQ(TakeVector(buffer, 2), Sequence(1, 2));
    EXPECT_EQ(buffer.Start(), 2u);
    EXPECT_EQ(buffer.Available(), 10u);
    EXPECT_EQ(buffer.Capacity(), 24u);
}

TEST(Dynbuffer, ConsumedPrefixIsCompactedAway) {
    dynbuffer buffer;
    Fill(buffer, 0, 100);
    EXPECT_EQ(TakeVector(buffer, 30), Sequence(0, 30));
    EXPECT_EQ(buffer.Start(), 30u);
    EXPECT_EQ(TakeVector(buffer, 25), Sequence(30, 25));
    EXPECT_EQ(buffer.Start(), 0u);
    EXPECT_EQ(buffer.Capacity(), 90u);
    EXPECT_EQ(std::vector<BYTE>(buffer.Peek(), buffer.Peek() + 45), Sequence(55, 45));
}

TEST(Dynbuffer, TakingEverythingFromAnAdvancedStartLeavesNoBuffer) {
    dynbuffer buffer;
    Fill(buffer, 0, 12);
    TakeVector(buffer, 2);
    EXPECT_EQ(TakeVector(buffer, 10), Sequence(2, 10));
    EXPECT_EQ(buffer.Peek(), nullptr);
    EXPECT_EQ(buffer.Available(), 0u);
    EXPECT_EQ(buffer.Take(1), nullptr);
    Fill(buffer, 0, 3);
    EXPECT_EQ(TakeVector(buffer, 3), Sequence(0, 3));
}

TEST(Dynbuffer, AppendAfterConsumingKeepsTheQueueOrder) {
    dynbuffer buffer;
    std::vector<BYTE> expected;
    BYTE next = 0;
    for (int round = 0; round < 50; ++round) {
        const auto chunk = Sequence(next, 7);
        next = static_cast<BYTE>(next + 7);
        buffer.Append(chunk.data(), 7);
        expected.insert(expected.end(), chunk.begin(), chunk.end());
        const DWORD n = static_cast<DWORD>(round % 5 + 1);
        ASSERT_EQ(TakeVector(buffer, n), std::vector<BYTE>(expected.begin(), expected.begin() + n));
        expected.erase(expected.begin(), expected.begin() + n);
        ASSERT_EQ(buffer.Available(), expected.size());
        ASSERT_GE(buffer.Capacity(), buffer.Start() + buffer.Available());
    }
}

}  // namespace
