#include "containers/array.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<LONG_PTR> Contents(zmsdk::array& a) {
    std::vector<LONG_PTR> v;
    for (int i = 0; i < a.Count(); ++i) v.push_back(a.Get(i));
    return v;
}

TEST(ZmsdkArray, InsertAtIndicesAndRefuseBeyondTheCount) {
    zmsdk::array a;
    EXPECT_TRUE(a.Insert(10, -1));
    EXPECT_TRUE(a.Insert(30, -1));
    EXPECT_TRUE(a.Insert(20, 1));
    EXPECT_TRUE(a.Insert(5, 0));
    EXPECT_FALSE(a.Insert(99, 5));
    EXPECT_FALSE(a.Insert(99, -2));
    EXPECT_EQ(Contents(a), (std::vector<LONG_PTR>{5, 10, 20, 30}));
    EXPECT_EQ(a.Find(20), 2);
    EXPECT_EQ(a.Find(99), -1);
}

TEST(ZmsdkArray, RemoveReturnsTheElementOrMinusOne) {
    std::vector<LONG_PTR> released;
    zmsdk::array a([&](LONG_PTR e) { released.push_back(e); });
    EXPECT_EQ(a.Remove(-1), -1);
    for (LONG_PTR e : {1, 2, 3}) a.Insert(e, -1);
    EXPECT_EQ(a.Remove(3), -1);
    EXPECT_EQ(a.Remove(-1), 3);
    EXPECT_EQ(a.Remove(0), 1);
    EXPECT_EQ(Contents(a), (std::vector<LONG_PTR>{2}));
    EXPECT_EQ(released, (std::vector<LONG_PTR>{3, 1}));
}

TEST(ZmsdkArray, CapacityDoublesAndHalvesWithTheCount) {
    zmsdk::array a;
    const std::pair<int, std::size_t> growth[] = {{1, 2}, {2, 4}, {4, 8}, {5, 8}, {8, 16}, {9, 16}};
    int count = 0;
    for (const auto& [target, capacity] : growth) {
        while (count < target) a.Insert(count++, -1);
        EXPECT_EQ(a.Capacity(), capacity) << "count " << count;
    }
    while (count > 3) {
        a.Remove(-1);
        --count;
    }
    EXPECT_EQ(a.Capacity(), 4u);
    EXPECT_EQ(Contents(a), (std::vector<LONG_PTR>{0, 1, 2}));
}

TEST(ZmsdkArray, GetBeyondTheCountExtendsWithUnsetSlots) {
    zmsdk::array a;
    EXPECT_EQ(a.Get(-1), -1);
    a.Insert(7, -1);
    EXPECT_EQ(a.Get(3), 0);
    EXPECT_EQ(a.Count(), 4);
    EXPECT_EQ(Contents(a), (std::vector<LONG_PTR>{7, 0, 0, 0}));
    EXPECT_EQ(a.Get(-1), 0);
}

TEST(ZmsdkArray, ClearAndDestructionReleaseFromLastToFirst) {
    std::vector<LONG_PTR> released;
    {
        zmsdk::array a([&](LONG_PTR e) { released.push_back(e); });
        for (LONG_PTR e : {1, 2, 3}) a.Insert(e, -1);
        a.Clear();
        EXPECT_EQ(a.Count(), 0);
        a.Insert(4, -1);
    }
    EXPECT_EQ(released, (std::vector<LONG_PTR>{3, 2, 1, 4}));
}

}  // namespace
