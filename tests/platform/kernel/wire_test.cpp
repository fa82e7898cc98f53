// The socket frames: fields round-trip, readers never read past the payload,
// and a frame that announces more than the limit is refused.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include "kernel/client/wire.h"

namespace {

TEST(WireTest, FieldsRoundTripAndShortPayloadsFailWithoutReadingPastTheEnd) {
    const auto bytes = kwire::Writer().U32(0xA1B2C3D4).U64(0x1122334455667788ull).Text16(u"\\??\\C:").Take();
    kwire::Reader reader(bytes);
    std::uint32_t a = 0;
    std::uint64_t b = 0;
    std::u16string text;
    ASSERT_TRUE(reader.U32(&a) && reader.U64(&b) && reader.Text16(&text));
    EXPECT_EQ(a, 0xA1B2C3D4u);
    EXPECT_EQ(b, 0x1122334455667788ull);
    EXPECT_EQ(text, u"\\??\\C:");
    EXPECT_FALSE(reader.U32(&a));
    EXPECT_TRUE(reader.Rest().empty());

    // A text that claims more characters than the payload holds.
    const auto lying = kwire::Writer().U32(1000).Bytes("ab", 2).Take();
    kwire::Reader liar(lying);
    EXPECT_FALSE(liar.Text16(&text));
    EXPECT_FALSE(liar.U32(&a)) << "a failed reader stays failed";
}

TEST(WireTest, FramesCrossASocketAndOversizedOnesAreRefused) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    const kwire::Frame sent{kwire::MessageType::Control, 77, {1, 2, 3}};
    ASSERT_TRUE(kwire::WriteFrame(fds[0], sent));
    kwire::Frame got;
    ASSERT_TRUE(kwire::ReadFrame(fds[1], &got));
    EXPECT_EQ(got.type, kwire::MessageType::Control);
    EXPECT_EQ(got.id, 77u);
    EXPECT_EQ(got.payload, sent.payload);

    const std::uint8_t huge[12] = {0xFF, 0xFF, 0xFF, 0x7F, 2, 0, 0, 0, 1, 0, 0, 0};
    ASSERT_EQ(write(fds[0], huge, sizeof(huge)), ssize_t(sizeof(huge)));
    EXPECT_FALSE(kwire::ReadFrame(fds[1], &got));
    close(fds[0]);
    EXPECT_FALSE(kwire::ReadFrame(fds[1], &got)) << "end of stream";
    close(fds[1]);
}

}  // namespace
