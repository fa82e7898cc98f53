#include <gtest/gtest.h>

#include <cstring>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "security/sid.h"

namespace {

TEST(Sid, AdministratorsIsBuiltFromNtAuthorityAndItsTwoSubAuthorities) {
    PSID sid = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &sid));
    const BYTE expected[] = {1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x20, 0x02, 0, 0};
    ASSERT_EQ(GetLengthSid(sid), sizeof expected);
    EXPECT_EQ(std::memcmp(sid, expected, sizeof expected), 0);
    EXPECT_EQ(plat::security::AdministratorsSid(), plat::security::SidBytes(expected, expected + sizeof expected));
    EXPECT_EQ(*GetSidSubAuthority(sid, 1), DOMAIN_ALIAS_RID_ADMINS);
    FreeSid(sid);
}

TEST(Sid, ValidityEqualityAndCopying) {
    auto user = plat::security::UnixUserSid(1000);
    auto group = plat::security::UnixGroupSid(1000);
    EXPECT_TRUE(IsValidSid(user.data()));
    EXPECT_FALSE(EqualSid(user.data(), group.data()));
    auto copy = user;
    EXPECT_TRUE(EqualSid(user.data(), copy.data()));

    BYTE small[8];
    EXPECT_FALSE(CopySid(sizeof small, small, user.data()));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    struct Case {
        BYTE revision, count;
        bool valid;
    } cases[] = {{1, 0, true}, {1, 15, true}, {1, 16, false}, {2, 1, false}, {0, 1, false}};
    for (const auto& c : cases) {
        BYTE raw[8 + 4 * 16] = {c.revision, c.count};
        EXPECT_EQ(IsValidSid(raw) != FALSE, c.valid) << int(c.revision) << "/" << int(c.count);
    }
    EXPECT_FALSE(IsValidSid(nullptr));
    EXPECT_EQ(GetLengthSid(nullptr), 0u);
}

}  // namespace
