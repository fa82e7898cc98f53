#include "engine/DeviceNode.h"

#include <gtest/gtest.h>

#include "smart/LittleEndian.h"

namespace {

DeviceNode SampleNode() {
    DeviceNode n;
    n.next = &n;
    n.deviceType = 7;
    n.deviceNumber = 3;
    std::copy_n(u"\\Device\\Harddisk3\\DR3", 21, n.ntName);
    n.flags = NODE_ATA | NODE_SUPPORTED | NODE_ENABLED | NODE_TEMPERATURE;
    n.countersStamp = FILETIME{0x11223344, 0x01D9AABB};
    n.collectTime = 0x0102;
    n.shortTestTime = 0x0304;
    n.extendedTestTime = 0x0506;
    n.conveyanceTestTime = 0x0708;
    n.port = 1;
    n.path = 2;
    n.target = 3;
    n.lun = 4;
    n.ataLevel = 7;
    n.healthStamp = FILETIME{0x55667788, 0x01D9CCDD};
    n.health = 1;
    n.selfTestStart = FILETIME{1, 2};
    n.handle = reinterpret_cast<HANDLE>(0x1234);
    n.selfTestType = 2;
    std::copy_n(u"SER123", 6, n.serial);
    std::copy_n(u"MODEL X", 7, n.model);
    std::copy_n(u"FW1", 3, n.firmware);
    n.counters.powerOnHours = 4242;
    for (std::size_t i = 0; i < kSmartSectorSize; ++i) n.smartData[i] = BYTE(i * 7);
    return n;
}

TEST(DeviceNodeImage, FieldsSitAtTheirOffsets) {
    const DeviceNodeImage image = WriteDeviceNode(SampleNode());
    using namespace smart_le;
    EXPECT_EQ(Get32(&image[0]), 0u) << "list link is run-time only";
    EXPECT_EQ(Get32(&image[4]), 7u);
    EXPECT_EQ(Get32(&image[8]), 3u);
    EXPECT_EQ(Get16(&image[12]), u'\\');
    EXPECT_EQ(Get16(&image[12 + 2 * 21]), 0);
    EXPECT_EQ(Get32(&image[512]), DWORD(NODE_ATA | NODE_SUPPORTED | NODE_ENABLED | NODE_TEMPERATURE));
    EXPECT_EQ(Get32(&image[520]), 0x11223344u);
    EXPECT_EQ(Get32(&image[524]), 0x01D9AABBu);
    EXPECT_EQ(Get16(&image[528]), 0x0102);
    EXPECT_EQ(Get16(&image[534]), 0x0708);
    EXPECT_EQ(image[536], 1);
    EXPECT_EQ(image[539], 4);
    EXPECT_EQ(image[540], 7);
    EXPECT_EQ(Get32(&image[544]), 0x55667788u);
    EXPECT_EQ(image[552], 1);
    EXPECT_EQ(Get64(&image[560]), 0u) << "self-test start is run-time only";
    EXPECT_EQ(Get32(&image[568]), 0u) << "handle is run-time only";
    EXPECT_EQ(Get32(&image[572]), 2u);
    EXPECT_EQ(Get16(&image[576]), u'S');
    EXPECT_EQ(Get16(&image[618]), u'M');
    EXPECT_EQ(Get16(&image[700]), u'F');
    EXPECT_EQ(Get32(&image[720 + 56]), 4242u);
    EXPECT_EQ(image[808], 0);
    EXPECT_EQ(image[1319], BYTE(511 * 7));
}

TEST(DeviceNodeImage, ReadingResetsRunTimeFieldsAndRoundTripsBytes) {
    const DeviceNodeImage image = WriteDeviceNode(SampleNode());
    DeviceNode back;
    ASSERT_TRUE(ReadDeviceNode(image, back));
    EXPECT_EQ(back.next, nullptr);
    EXPECT_EQ(back.handle, nullptr);
    EXPECT_FALSE(back.IsBusy());
    EXPECT_EQ(back.health, 1);
    EXPECT_EQ(back.counters.powerOnHours, 4242u);
    EXPECT_EQ(WriteDeviceNode(back), image);
}

TEST(DeviceNodeImage, WrongSizeIsRejectedAndDamagedTextIsTerminated) {
    DeviceNodeImage image = WriteDeviceNode(SampleNode());
    DeviceNode node;
    node.deviceNumber = 99;
    EXPECT_FALSE(ReadDeviceNode(std::span<const BYTE>(image).first(1319), node));
    EXPECT_EQ(node.deviceNumber, 99u);

    std::fill(image.begin() + 12, image.begin() + 512, BYTE('A'));
    std::fill(image.begin() + 618, image.begin() + 700, BYTE('B'));
    ASSERT_TRUE(ReadDeviceNode(image, node));
    EXPECT_EQ(node.ntName[kNtNameChars - 1], 0);
    EXPECT_EQ(node.model[kModelChars - 1], 0);
}

TEST(NodeFlags, MapToDeviceFlags) {
    struct Case {
        DWORD node;
        DWORD device;
    };
    const Case cases[] = {
        {NODE_ATA | NODE_DRIVE_NUMBER_MASK | NODE_IDENTIFIED, 0},
        {NODE_REMOVABLE, SMART_FLAG_REMOVABLE},
        {NODE_SUPPORTED | NODE_ENABLED, SMART_FLAG_SUPPORTED | SMART_FLAG_ENABLED},
        {NODE_SCSI_TEMPERATURE_PAGE | NODE_SCSI_IE_PAGE, 0},
        {NODE_TEMPERATURE, SMART_FLAG_TEMPERATURE},
        {NODE_START_STOP, SMART_FLAG_START_STOP},
        {NODE_POWER_ON_FROM_SELFTEST, SMART_FLAG_POWER_ON_FROM_SELFTEST},
        {0xFFFFFFFFu, 0x00FFFFFFu},
    };
    for (const Case& c : cases) EXPECT_EQ(NodeFlagsToDeviceFlags(c.node), c.device) << std::hex << c.node;
}

TEST(NodeFlags, DriveNumberUsesBitsOneAndTwo) {
    DeviceNode n;
    n.flags = NODE_ATA;
    n.SetDriveNumber(1);
    EXPECT_EQ(n.flags, DWORD(NODE_ATA | 0x2));
    EXPECT_EQ(n.DriveNumber(), 1);
}

}  // namespace
