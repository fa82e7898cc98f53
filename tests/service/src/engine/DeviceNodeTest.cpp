#include "engine/DeviceNode.h"

#include <gtest/gtest.h>

#include "smart/LittleEndian.h"

namespace {

DeviceNode SampleNode() {
    DeviceNode n;
    n.next = &n;
    n.deviceType = 7;
    n.deviceNumber = 3;
    std::copy_n(u"\\Device\\X", 9, n.ntName);
    n.flags = NODE_ATA | NODE_SUPPORTED;
    n.countersStamp = FILETIME{0x11223344, 0x01D9AABB};
    n.conveyanceTestTime = 0x0708;
    n.lun = 4;
    n.ataLevel = 7;
    n.healthStamp = FILETIME{0x55667788, 0};
    n.health = 1;
    n.selfTestStart = FILETIME{1, 2};
    n.handle = reinterpret_cast<HANDLE>(0x1234);
    n.selfTestType = 2;
    n.serial[0] = u'S';
    n.model[0] = u'M';
    n.firmware[0] = u'F';
    n.counters.powerOnHours = 4242;
    n.smartData[511] = 0x99;
    return n;
}

TEST(DeviceNodeImage, FieldsSitAtTheirOffsetsRunTimeFieldsAsZero) {
    const DeviceNodeImage image = WriteDeviceNode(SampleNode());
    struct Field {
        std::size_t offset;
        std::size_t width;
        std::uint64_t value;
    };
    const Field expected[] = {
        {0, 4, 0},           {4, 4, 7},          {8, 4, 3},           {12, 2, u'\\'},
        {512, 4, NODE_ATA | NODE_SUPPORTED},     {520, 8, 0x01D9AABB11223344ull},
        {534, 2, 0x0708},    {539, 1, 4},        {540, 1, 7},         {544, 8, 0x55667788},
        {552, 1, 1},         {560, 8, 0},        {568, 4, 0},         {572, 4, 2},
        {576, 2, u'S'},      {618, 2, u'M'},     {700, 2, u'F'},      {776, 4, 4242},
        {1319, 1, 0x99}};
    for (const Field& f : expected) {
        EXPECT_EQ(smart_le::Get(&image[f.offset], f.width), f.value) << "offset " << f.offset;
    }
}

TEST(DeviceNodeImage, ReadingResetsRunTimeFieldsAndRejectsBadImages) {
    DeviceNodeImage image = WriteDeviceNode(SampleNode());
    DeviceNode back;
    ASSERT_TRUE(ReadDeviceNode(image, back));
    EXPECT_EQ(back.next, nullptr);
    EXPECT_EQ(back.handle, nullptr);
    EXPECT_FALSE(back.IsBusy());
    EXPECT_EQ(WriteDeviceNode(back), image) << "byte for byte";

    back.deviceNumber = 99;
    EXPECT_FALSE(ReadDeviceNode(std::span<const BYTE>(image).first(1319), back));
    EXPECT_EQ(back.deviceNumber, 99u);
    std::fill(image.begin() + 12, image.begin() + 512, BYTE('A'));
    ASSERT_TRUE(ReadDeviceNode(image, back));
    EXPECT_EQ(back.ntName[kNtNameChars - 1], 0) << "damaged text comes back terminated";
}

TEST(NodeFlags, MapToDeviceFlags) {
    const std::pair<DWORD, DWORD> cases[] = {
        {NODE_ATA | NODE_DRIVE_NUMBER_MASK | NODE_IDENTIFIED, 0},
        {NODE_REMOVABLE | NODE_SUPPORTED, SMART_FLAG_REMOVABLE | SMART_FLAG_SUPPORTED},
        {NODE_SCSI_TEMPERATURE_PAGE | NODE_SCSI_IE_PAGE, 0},
        {NODE_TEMPERATURE | NODE_START_STOP, SMART_FLAG_TEMPERATURE | SMART_FLAG_START_STOP},
        {NODE_POWER_ON_FROM_SELFTEST, SMART_FLAG_POWER_ON_FROM_SELFTEST},
        {0xFFFFFFFFu, 0x00FFFFFFu},
    };
    for (const auto& [node, device] : cases) EXPECT_EQ(NodeFlagsToDeviceFlags(node), device) << std::hex << node;
}

}  // namespace
