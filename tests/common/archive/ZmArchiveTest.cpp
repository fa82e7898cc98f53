#include "archive/ZmArchive.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<BYTE> Bytes(CZmArchive& ar) {
    const BYTE* p = ar.GetBuffer(TRUE);
    return std::vector<BYTE>(p, p + ar.GetLength(TRUE));
}

TEST(ZmArchiveGrowth, FirstPut32DoublesPastTheBytesInUse) {
    CZmArchive ar(2);
    ar.Put32(1);
    EXPECT_EQ(ar.Capacity(), 8u);
    EXPECT_EQ(ar.GetLength(TRUE), 4u);
    EXPECT_EQ(Bytes(ar), (std::vector<BYTE>{0x01, 0x00, 0x00, 0x00}));
}

TEST(ZmArchiveGrowth, EmptyStartCapacitiesStillGrow) {
    CZmArchive zero(0u);
    EXPECT_TRUE(zero.Put32(7).GetLength(TRUE) == 4);
    CZmArchive copied(nullptr, 0);
    copied.Put16(0x0102);
    EXPECT_EQ(Bytes(copied), (std::vector<BYTE>{0x02, 0x01}));
}

TEST(ZmArchiveByteOrder, ValuesAreLittleEndianWith64BitLowHalfFirst) {
    CZmArchive ar;
    ar.Put8(0xAB).Put16(0x1234).Put32(0xDEADBEEF).Put64(0x1122334455667788ull);
    EXPECT_EQ(Bytes(ar), (std::vector<BYTE>{0xAB, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE, 0x88, 0x77, 0x66, 0x55,
                                            0x44, 0x33, 0x22, 0x11}));
    ar.Seek(0, 0);
    BYTE b;
    WORD w;
    DWORD d;
    ULONGLONG q;
    ar.Get8(b).Get16(w).Get32(d).Get64(q);
    EXPECT_EQ(b, 0xAB);
    EXPECT_EQ(w, 0x1234);
    EXPECT_EQ(d, 0xDEADBEEFu);
    EXPECT_EQ(q, 0x1122334455667788ull);
    EXPECT_EQ(ar.GetLength(FALSE), 0u);
}

TEST(ZmArchiveReading, ShortReadsLeaveThePositionAndReadNothing) {
    const BYTE data[] = {1, 2, 3, 4};
    CZmArchive ar(data, sizeof data);
    BYTE out[5] = {0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
    EXPECT_FALSE(ar.GetBytes(out, 5));
    EXPECT_EQ(ar.GetLength(FALSE), 4u);
    EXPECT_EQ(out[0], 0xCC);

    ULONGLONG past = 0xCCCCCCCCCCCCCCCCull;
    ar.Get64(past);
    EXPECT_EQ(past, 0u);
    EXPECT_EQ(ar.GetLength(FALSE), 4u);

    EXPECT_TRUE(ar.GetBytes(out, 4));
    EXPECT_EQ(out[3], 4);
    EXPECT_EQ(out[4], 0xCC);
}

TEST(ZmArchiveSeek, ModesSetAddOrCountBackFromTheSize) {
    const BYTE data[10] = {};
    CZmArchive ar(data, sizeof data);
    struct Case {
        LONG offset;
        int mode;
        DWORD remaining;
    } cases[] = {{4, 2, 4}, {3, 0, 7}, {2, 1, 5}, {-1, 1, 6}, {-100, 1, 6}, {5, 7, 6}, {20, 2, 6}};
    for (const Case& c : cases) {
        ar.Seek(c.offset, c.mode);
        EXPECT_EQ(ar.GetLength(FALSE), c.remaining) << "offset " << c.offset << " mode " << c.mode;
    }
}

TEST(ZmArchiveWriting, AfterSeekingOverwritesOrZeroFillsTheGap) {
    CZmArchive ar;
    ar.Put32(0x11111111).Put16(0x2222);
    ar.Seek(2, 0);
    ar.Put16(0xFFFF);
    EXPECT_EQ(Bytes(ar), (std::vector<BYTE>{0x11, 0x11, 0xFF, 0xFF, 0x22, 0x22}));
    ar.Seek(2, 2);
    ar.Seek(3, 1);
    ar.Put8(0x01);
    EXPECT_EQ(Bytes(ar), (std::vector<BYTE>{0x11, 0x11, 0xFF, 0xFF, 0x22, 0x22, 0, 0x01}));
}

TEST(ZmArchiveWriting, RefusedGrowthLeavesTheArchiveUnchanged) {
    CZmArchive ar;
    ar.Put32(0x01020304);
    const std::size_t capacity = ar.Capacity();
    ar.Seek(0x7FFFFFF0, 0);
    const BYTE big[4] = {9, 9, 9, 9};
    EXPECT_FALSE(ar.PutBytes(big, 4));
    ar.Put64(1);
    EXPECT_EQ(ar.Capacity(), capacity);
    EXPECT_EQ(ar.GetLength(TRUE), 4u);
    ar.Seek(0, 0);
    DWORD v = 0;
    ar.Get32(v);
    EXPECT_EQ(v, 0x01020304u);
}

TEST(ZmArchiveBorrowed, IgnoresPutsReadsInPlaceAndIsDroppedByReset) {
    BYTE data[] = {0x78, 0x56, 0x34, 0x12};
    CZmArchive ar;
    ar.Attach(data, sizeof data);
    ar.Put32(0xFFFFFFFF);
    EXPECT_FALSE(ar.PutBytes(data, 1));
    EXPECT_EQ(ar.GetBuffer(TRUE), data);
    DWORD v = 0;
    ar.Get32(v);
    EXPECT_EQ(v, 0x12345678u);
    ar.Reset();
    EXPECT_FALSE(ar.IsBorrowed());
    ar.Put16(0x0A0B);
    EXPECT_EQ(Bytes(ar), (std::vector<BYTE>{0x0B, 0x0A}));
    EXPECT_EQ(data[0], 0x78);
}

}  // namespace
