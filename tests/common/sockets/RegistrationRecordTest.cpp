#include <gtest/gtest.h>

#include "security/sid.h"
#include "sockets/PacketFormat.h"
#include "sockets/RegistrationRecord.h"

namespace {

TEST(RegistrationRecord, LayoutOfARecordWithSidAndName) {
    const auto sid = plat::security::MakeSid(SECURITY_NT_AUTHORITY, {21, 7, 8, 9, 1001});
    RegistrationRecord r = RegistrationRecord::Make(sid.data(), static_cast<DWORD>(sid.size()));
    r.SetUserName(u"PC1\\alice");
    const BYTE* b = r.Bytes();
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[2], 1);
    for (int i = 4; i < 20; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(ReadLe32(b + 20), sid.size());
    EXPECT_EQ(b[24], 'P');
    EXPECT_EQ(b[25], 0);
    EXPECT_EQ(std::vector<BYTE>(b + 224, b + 224 + sid.size()), sid);
    EXPECT_EQ(r.Sid(), sid);
    EXPECT_EQ(r.UserName(), u"PC1\\alice");
}

TEST(RegistrationRecord, SidsAndNamesThatDoNotFitStayOutOfTheRecord) {
    const auto twelve = plat::security::MakeSid(SECURITY_NT_AUTHORITY, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    ASSERT_EQ(twelve.size(), 56u);
    const RegistrationRecord r = RegistrationRecord::Make(twelve.data(), 56);
    EXPECT_EQ(r.SidLength(), 0u);
    EXPECT_TRUE(r.Sid().empty());
    for (DWORD i = 224; i < 276; ++i) EXPECT_EQ(r.Bytes()[i], 0) << i;

    RegistrationRecord named = RegistrationRecord::Make(nullptr, 0);
    named.SetUserName(std::u16string(150, u'x'));
    EXPECT_EQ(named.UserName().size(), 99u);
    EXPECT_EQ(named.Bytes()[24 + 198], 0);
    EXPECT_EQ(named.Bytes()[24 + 199], 0);
}

TEST(RegistrationRecord, APeersSidIsTakenOnlyWhenItFitsItsStatedLength) {
    struct Case {
        DWORD stated;
        BYTE revision, count;
        bool taken;
    } cases[] = {{16, 1, 2, true}, {12, 1, 2, false}, {52, 1, 15, false}, {0xFFFFFFFF, 1, 11, true},
                 {16, 2, 2, false}, {4, 1, 0, false}};
    for (const auto& c : cases) {
        std::vector<BYTE> bytes(RegistrationRecord::kSize, 0);
        WriteLe32(&bytes[20], c.stated);
        bytes[224] = c.revision;
        bytes[225] = c.count;
        RegistrationRecord r;
        ASSERT_TRUE(RegistrationRecord::Parse(bytes.data(), RegistrationRecord::kSize, &r));
        EXPECT_EQ(!r.Sid().empty(), c.taken) << c.stated << "/" << int(c.count);
    }
    RegistrationRecord r;
    EXPECT_FALSE(RegistrationRecord::Parse(std::vector<BYTE>(275).data(), 275, &r));
}

}  // namespace
